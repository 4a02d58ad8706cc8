// The MAPI view of an item: the property tags the add-in uses, mapped onto
// the same message the object model edits, and its attachments.
#include "host/outlook/entry_ids.h"
#include "host/outlook/host_objects.h"
#include "host/outlook/prop_values.h"
#include "platform/com/stream.h"
#include "platform/text.h"

namespace outlook_host {
namespace {

using Lock = std::lock_guard<std::mutex>;
using mailstore::Attachment;
using mailstore::Mailbox;

const std::vector<ULONG> kAttachmentColumns = {PR_ATTACH_NUM, PR_ATTACH_METHOD, PR_ATTACH_SIZE,
                                               PR_ATTACH_LONG_FILENAME_W, PR_ATTACH_FILENAME_W};

bool FillAttachmentProp(PropArrayBuilder& b, ULONG i, ULONG tag, ULONG number, const Attachment& a) {
  switch (tag) {
    case PR_ATTACH_NUM: b.SetLong(i, tag, static_cast<LONG>(number)); return true;
    case PR_ATTACH_METHOD: b.SetLong(i, tag, ATTACH_BY_VALUE); return true;
    case PR_ATTACH_SIZE: b.SetLong(i, tag, static_cast<LONG>(a.data.size())); return true;
    case PR_ATTACH_LONG_FILENAME_W:
    case PR_ATTACH_FILENAME_W:
      return !a.fileName.empty() && b.SetText(i, tag, a.fileName);
    case PR_ATTACH_MIME_TAG_W: return !a.mimeType.empty() && b.SetText(i, tag, a.mimeType);
    case PR_ATTACH_DATA_BIN: return b.SetBinary(i, tag, std::vector<BYTE>(a.data.begin(), a.data.end()));
    default: return false;
  }
}

class CAttach : public ComObject<IAttach> {
 public:
  CAttach(ULONG number, Attachment attachment) : number_(number), attachment_(std::move(attachment)) {}

  HRESULT SaveChanges(ULONG) override { return S_OK; }
  HRESULT GetProps(const SPropTagArray* tags, ULONG, ULONG* count, SPropValue** props) override {
    const auto fill = [this](PropArrayBuilder& b, ULONG i, ULONG tag) {
      return FillAttachmentProp(b, i, tag, number_, attachment_);
    };
    return AnswerGetProps(tags, kAttachmentColumns, fill, count, props);
  }
  HRESULT SetProps(ULONG count, const SPropValue* props, SPropProblemArray** problems) override {
    ProblemList list;  // attachments of stored items are read-only here
    for (ULONG i = 0; i < count && props; ++i) list.Add(i, props[i].ulPropTag, MAPI_E_NO_ACCESS);
    return list.Deliver(problems);
  }
  HRESULT OpenProperty(ULONG tag, LPCIID iid, ULONG, ULONG, IUnknown** object) override {
    if (!object) return MAPI_E_INVALID_PARAMETER;
    *object = nullptr;
    if (tag != PR_ATTACH_DATA_BIN) return MAPI_E_NOT_FOUND;
    if (!iid || !(*iid == IStream::kIid)) return MAPI_E_INTERFACE_NOT_SUPPORTED;
    IStream* stream = nullptr;
    const HRESULT hr = CreateStreamOnBytes(attachment_.data, &stream);
    *object = stream;
    return hr;
  }

 private:
  const ULONG number_;
  const Attachment attachment_;
};

class CAttachmentTable : public ComObject<IMAPITable> {
 public:
  explicit CAttachmentTable(std::vector<Attachment> attachments)
      : attachments_(std::move(attachments)), columns_(kAttachmentColumns) {}

  HRESULT SetColumns(const SPropTagArray* columns, ULONG) override {
    if (!columns || (columns->cValues && !columns->aulPropTag)) return MAPI_E_INVALID_PARAMETER;
    Lock lock(mutex_);
    columns_.assign(columns->aulPropTag, columns->aulPropTag + columns->cValues);
    return S_OK;
  }
  HRESULT GetRowCount(ULONG, ULONG* count) override {
    if (!count) return MAPI_E_INVALID_PARAMETER;
    *count = static_cast<ULONG>(attachments_.size());
    return S_OK;
  }
  HRESULT QueryRows(LONG rowCount, ULONG, SRowSet** rows) override {
    if (!rows || rowCount < 0) return MAPI_E_INVALID_PARAMETER;
    *rows = nullptr;
    Lock lock(mutex_);
    const std::size_t n = std::min(attachments_.size() - position_, static_cast<std::size_t>(rowCount));
    void* buffer = nullptr;
    if (FAILED(MAPIAllocateBuffer(static_cast<ULONG>(sizeof(SRowSet)), &buffer))) return MAPI_E_NOT_ENOUGH_MEMORY;
    auto* set = static_cast<SRowSet*>(buffer);
    set->cRows = 0;
    set->aRow = nullptr;
    void* rowBuffer = nullptr;
    if (FAILED(MAPIAllocateMore(static_cast<ULONG>(sizeof(SRow) * (n ? n : 1)), set, &rowBuffer))) {
      MAPIFreeBuffer(set);
      return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    set->aRow = static_cast<SRow*>(rowBuffer);
    for (std::size_t r = 0; r < n; ++r) {
      const ULONG number = static_cast<ULONG>(position_ + r);
      const SPropTagArray tags{static_cast<ULONG>(columns_.size()), columns_.data()};
      ULONG count = 0;
      SPropValue* props = nullptr;
      const auto fill = [&](PropArrayBuilder& b, ULONG i, ULONG tag) {
        return FillAttachmentProp(b, i, tag, number, attachments_[number]);
      };
      if (FAILED(AnswerGetProps(&tags, columns_, fill, &count, &props))) {
        FreeProws(set);
        return MAPI_E_NOT_ENOUGH_MEMORY;
      }
      set->aRow[r] = SRow{0, count, props};
      set->cRows = static_cast<ULONG>(r + 1);
    }
    position_ += n;
    *rows = set;
    return S_OK;
  }

 private:
  const std::vector<Attachment> attachments_;
  std::mutex mutex_;
  std::vector<ULONG> columns_;
  std::size_t position_ = 0;
};

// The tags GetProps answers when asked for all.
const std::vector<ULONG> kMessageTags = {
    PR_MESSAGE_CLASS_W, PR_SUBJECT_W, PR_IMPORTANCE, PR_MESSAGE_FLAGS, PR_CLIENT_SUBMIT_TIME,
    PR_MESSAGE_DELIVERY_TIME, PR_CREATION_TIME, PR_LAST_MODIFICATION_TIME, PR_SENDER_NAME_W,
    PR_SENDER_EMAIL_ADDRESS_W, PR_SENDER_ADDRTYPE_W, PR_SENDER_ENTRYID, PR_SENT_REPRESENTING_NAME_W,
    PR_SENT_REPRESENTING_EMAIL_ADDRESS_W, PR_SENT_REPRESENTING_ADDRTYPE_W, PR_SENT_REPRESENTING_ENTRYID, PR_ENTRYID};

class CMapiMessage : public ComObject<IMessage> {
 public:
  explicit CMapiMessage(std::shared_ptr<ItemState> state) : state_(std::move(state)) {}

  // A saved item is rewritten. An item that was never saved has no place in
  // the store yet: its properties are already part of it and it is written,
  // once, by its own Save.
  HRESULT SaveChanges(ULONG) override {
    Lock lock(state_->mutex);
    if (state_->id.empty()) return S_OK;
    return state_->SaveLocked();
  }

  HRESULT GetProps(const SPropTagArray* tags, ULONG, ULONG* count, SPropValue** props) override {
    Lock lock(state_->mutex);
    const mailstore::Message& m = *state_->message;
    const auto fill = [&](PropArrayBuilder& b, ULONG i, ULONG tag) -> bool {
      switch (tag) {
        case PR_MESSAGE_CLASS_W: return b.SetText(i, tag, m.MessageClass());
        case PR_SUBJECT_W: return b.SetText(i, tag, m.Subject());
        case PR_IMPORTANCE: b.SetLong(i, tag, m.Importance()); return true;
        case PR_MESSAGE_FLAGS:
          b.SetLong(i, tag, static_cast<LONG>(m.ExtraFlags() | (state_->read ? MSGFLAG_READ : 0)));
          return true;
        case PR_CLIENT_SUBMIT_TIME: return SetTime(b, i, tag, m.Date());
        case PR_MESSAGE_DELIVERY_TIME: return SetTime(b, i, tag, state_->deliveryTime);
        case PR_CREATION_TIME: return SetTime(b, i, tag, m.CreationTime() ? m.CreationTime() : state_->deliveryTime);
        case PR_LAST_MODIFICATION_TIME:
          return SetTime(b, i, tag, m.LastModificationTime() ? m.LastModificationTime() : state_->deliveryTime);
        case PR_SENDER_NAME_W:
        case PR_SENDER_EMAIL_ADDRESS_W:
        case PR_SENDER_ADDRTYPE_W:
        case PR_SENDER_ENTRYID:
          return FillMailbox(b, i, tag, m.Sender());
        case PR_SENT_REPRESENTING_NAME_W:
        case PR_SENT_REPRESENTING_EMAIL_ADDRESS_W:
        case PR_SENT_REPRESENTING_ADDRTYPE_W:
        case PR_SENT_REPRESENTING_ENTRYID:
          return FillMailbox(b, i, tag, m.From());
        case PR_ENTRYID:
          if (state_->id.empty()) return false;
          return b.SetBinary(i, tag, MakeEntryId(EntryKind::Message, MessagePayload(state_->folder->dirName(), state_->id)));
        case PR_HTML: {
          const std::string html = Utf16ToUtf8(m.HtmlBody());
          return b.SetBinary(i, tag, std::vector<BYTE>(html.begin(), html.end()));
        }
        default:
          return false;
      }
    };
    return AnswerGetProps(tags, kMessageTags, fill, count, props);
  }

  HRESULT SetProps(ULONG count, const SPropValue* props, SPropProblemArray** problems) override {
    if (count && !props) return MAPI_E_INVALID_PARAMETER;
    ProblemList list;
    Lock lock(state_->mutex);
    mailstore::Message& m = *state_->message;
    for (ULONG i = 0; i < count; ++i) {
      const SPropValue& p = props[i];
      const SCODE sc = SetOne(m, p);
      if (FAILED(sc)) list.Add(i, p.ulPropTag, sc);
    }
    return list.Deliver(problems);
  }

  HRESULT OpenProperty(ULONG, LPCIID, ULONG, ULONG, IUnknown** object) override {
    if (object) *object = nullptr;
    return MAPI_E_NO_SUPPORT;
  }

  HRESULT GetAttachmentTable(ULONG, IMAPITable** table) override {
    if (!table) return MAPI_E_INVALID_PARAMETER;
    std::vector<Attachment> attachments;
    {
      Lock lock(state_->mutex);
      attachments = state_->message->Attachments();
    }
    *table = MakeComObject<CAttachmentTable, IMAPITable>(std::move(attachments)).Detach();
    return S_OK;
  }

  HRESULT OpenAttach(ULONG attachmentNum, LPCIID iid, ULONG, IAttach** attachment) override {
    if (!attachment) return MAPI_E_INVALID_PARAMETER;
    *attachment = nullptr;
    if (iid && !(*iid == IAttach::kIid) && !(*iid == IMAPIProp::kIid) && !(*iid == IID_IUnknown))
      return MAPI_E_INTERFACE_NOT_SUPPORTED;
    std::vector<Attachment> attachments;
    {
      Lock lock(state_->mutex);
      attachments = state_->message->Attachments();
    }
    if (attachmentNum >= attachments.size()) return MAPI_E_NOT_FOUND;
    *attachment = MakeComObject<CAttach, IAttach>(attachmentNum, std::move(attachments[attachmentNum])).Detach();
    return S_OK;
  }

 private:
  static bool SetTime(PropArrayBuilder& b, ULONG i, ULONG tag, std::optional<std::int64_t> seconds) {
    if (!seconds) return false;
    b.SetTime(i, tag, *seconds);
    return true;
  }

  static bool FillMailbox(PropArrayBuilder& b, ULONG i, ULONG tag, const Mailbox& mailbox) {
    if (mailbox.empty()) return false;
    switch (PROP_ID(tag)) {
      case PROP_ID(PR_SENDER_NAME_W):
      case PROP_ID(PR_SENT_REPRESENTING_NAME_W):
        return b.SetText(i, tag, mailbox.name);
      case PROP_ID(PR_SENDER_EMAIL_ADDRESS_W):
      case PROP_ID(PR_SENT_REPRESENTING_EMAIL_ADDRESS_W):
        return b.SetText(i, tag, mailbox.address);
      case PROP_ID(PR_SENDER_ADDRTYPE_W):
      case PROP_ID(PR_SENT_REPRESENTING_ADDRTYPE_W):
        return b.SetText(i, tag, mailbox.addressType);
      default:
        return b.SetBinary(i, tag, MakeOneOffEntryId(mailbox.name, mailbox.addressType, mailbox.address, true));
    }
  }

  // Applies one value; the code of the problem when it cannot be set.
  SCODE SetOne(mailstore::Message& m, const SPropValue& p) {
    const ULONG tag = p.ulPropTag;
    const ULONG type = PROP_TYPE(tag);
    auto text = [&]() { return std::u16string(p.Value.lpszW ? p.Value.lpszW : u""); };
    auto seconds = [&]() { return FileTimeToUnixSeconds(p.Value.ft); };
    switch (tag) {
      case PR_MESSAGE_FLAGS:
        state_->read = (static_cast<ULONG>(p.Value.l) & MSGFLAG_READ) != 0;
        m.SetExtraFlags(static_cast<std::uint32_t>(p.Value.l));
        return S_OK;
      case PR_IMPORTANCE:
        if (p.Value.l < 0 || p.Value.l > 2) return MAPI_E_INVALID_PARAMETER;
        m.SetImportance(p.Value.l);
        return S_OK;
      case PR_SUBJECT_W: m.SetSubject(text()); return S_OK;
      case PR_MESSAGE_CLASS_W: m.SetMessageClass(text()); return S_OK;
      case PR_CLIENT_SUBMIT_TIME: m.SetDate(seconds()); return S_OK;
      case PR_MESSAGE_DELIVERY_TIME: state_->deliveryTime = seconds(); return S_OK;
      case PR_CREATION_TIME: m.SetCreationTime(seconds()); return S_OK;
      case PR_LAST_MODIFICATION_TIME: m.SetLastModificationTime(seconds()); return S_OK;
      case PR_HTML:
        // A count with no bytes behind it is a caller's mistake, not an
        // empty body.
        if (!p.Value.bin.lpb && p.Value.bin.cb) return MAPI_E_INVALID_PARAMETER;
        m.SetHtmlBody(p.Value.bin.cb ? Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(p.Value.bin.lpb),
                                                                    p.Value.bin.cb))
                                     : std::u16string());
        return S_OK;
      case PR_SENDER_NAME_W:
      case PR_SENDER_EMAIL_ADDRESS_W:
      case PR_SENDER_ADDRTYPE_W:
      case PR_SENDER_ENTRYID: {
        Mailbox sender = m.Sender();
        const SCODE sc = ApplyToMailbox(p, &sender);
        if (SUCCEEDED(sc)) m.SetSender(sender);
        return sc;
      }
      case PR_SENT_REPRESENTING_NAME_W:
      case PR_SENT_REPRESENTING_EMAIL_ADDRESS_W:
      case PR_SENT_REPRESENTING_ADDRTYPE_W:
      case PR_SENT_REPRESENTING_ENTRYID: {
        Mailbox from = m.From();
        const SCODE sc = ApplyToMailbox(p, &from);
        if (SUCCEEDED(sc)) m.SetFrom(from);
        return sc;
      }
      case PR_ENTRYID:
        return MAPI_E_NO_ACCESS;
      default:
        break;
    }
    // A known property given with another type, or one this store keeps not.
    for (ULONG known : kMessageTags)
      if (PROP_ID(known) == PROP_ID(tag) && PROP_TYPE(known) != type) return MAPI_E_INVALID_TYPE;
    return MAPI_E_NO_SUPPORT;
  }

  static SCODE ApplyToMailbox(const SPropValue& p, Mailbox* mailbox) {
    const std::u16string text = PROP_TYPE(p.ulPropTag) == PT_UNICODE && p.Value.lpszW ? p.Value.lpszW : u"";
    switch (PROP_ID(p.ulPropTag)) {
      case PROP_ID(PR_SENDER_NAME_W):
      case PROP_ID(PR_SENT_REPRESENTING_NAME_W):
        mailbox->name = text;
        return S_OK;
      case PROP_ID(PR_SENDER_EMAIL_ADDRESS_W):
      case PROP_ID(PR_SENT_REPRESENTING_EMAIL_ADDRESS_W):
        mailbox->address = text;
        return S_OK;
      case PROP_ID(PR_SENDER_ADDRTYPE_W):
      case PROP_ID(PR_SENT_REPRESENTING_ADDRTYPE_W):
        mailbox->addressType = text;
        return S_OK;
      default:
        // An entry id is kept as what it names; only one-off ids name
        // somebody without an address book entry.
        return ParseOneOffEntryId(p.Value.bin.lpb, p.Value.bin.cb, mailbox) ? S_OK : MAPI_E_INVALID_ENTRYID;
    }
  }

  std::shared_ptr<ItemState> state_;
};

}  // namespace

ComPtr<IMessage> MakeMapiMessage(std::shared_ptr<ItemState> state) {
  return MakeComObject<CMapiMessage, IMessage>(std::move(state));
}

}  // namespace outlook_host

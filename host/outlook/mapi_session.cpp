// The MAPI session over the host's store: the message store object, entry
// opening and the address book's one-off entry ids.
#include <algorithm>
#include <cstring>

#include "host/outlook/entry_ids.h"
#include "host/outlook/host_objects.h"
#include "host/outlook/prop_values.h"
#include "platform/text.h"

namespace outlook_host {
namespace {

HRESULT QueryResult(IUnknown* object, LPCIID iid, IUnknown** out) {
  if (!iid) {
    object->AddRef();
    *out = object;
    return S_OK;
  }
  return object->QueryInterface(*iid, reinterpret_cast<void**>(out));
}

HRESULT OpenEntryIn(const Context& context, ULONG cbEntryId, LPENTRYID entryId, LPCIID iid, ULONG* objectType,
                    IUnknown** object);

class CMsgStore : public ComObject<IMsgStore> {
 public:
  explicit CMsgStore(Context context) : context_(std::move(context)) {}

  HRESULT SaveChanges(ULONG) override { return S_OK; }
  HRESULT GetProps(const SPropTagArray* tags, ULONG, ULONG* count, SPropValue** props) override {
    const auto fill = [this](PropArrayBuilder& b, ULONG i, ULONG tag) {
      switch (tag) {
        case PR_ENTRYID:
        case PR_STORE_ENTRYID:
          return b.SetBinary(i, tag, MakeEntryId(EntryKind::Store, context_->store->root()));
        case PR_DISPLAY_NAME_W:
          return b.SetText(i, tag, Utf8ToUtf16(context_->store->root()));
        default:
          return false;
      }
    };
    return AnswerGetProps(tags, {PR_ENTRYID, PR_DISPLAY_NAME_W}, fill, count, props);
  }
  HRESULT SetProps(ULONG count, const SPropValue* props, SPropProblemArray** problems) override {
    ProblemList list;
    for (ULONG i = 0; i < count && props; ++i) list.Add(i, props[i].ulPropTag, MAPI_E_NO_ACCESS);
    return list.Deliver(problems);
  }
  HRESULT OpenProperty(ULONG, LPCIID, ULONG, ULONG, IUnknown** object) override {
    if (object) *object = nullptr;
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT OpenEntry(ULONG cbEntryId, LPENTRYID entryId, LPCIID iid, ULONG, ULONG* objectType,
                    IUnknown** object) override {
    return OpenEntryIn(context_, cbEntryId, entryId, iid, objectType, object);
  }

 private:
  Context context_;
};

class CAddrBook : public ComObject<IAddrBook> {
 public:
  HRESULT CreateOneOff(LPCWSTR name, LPCWSTR addressType, LPCWSTR address, ULONG flags, ULONG* cbEntryId,
                       LPENTRYID* entryId) override {
    if (!cbEntryId || !entryId || !addressType || !address) return MAPI_E_INVALID_PARAMETER;
    *cbEntryId = 0;
    *entryId = nullptr;
    const std::vector<BYTE> bytes =
        MakeOneOffEntryId(name ? name : u"", addressType, address, (flags & MAPI_SEND_NO_RICH_INFO) != 0);
    void* buffer = nullptr;
    if (FAILED(MAPIAllocateBuffer(static_cast<ULONG>(bytes.size()), &buffer))) return MAPI_E_NOT_ENOUGH_MEMORY;
    std::memcpy(buffer, bytes.data(), bytes.size());
    *cbEntryId = static_cast<ULONG>(bytes.size());
    *entryId = static_cast<LPENTRYID>(buffer);
    return S_OK;
  }
};

class CMapiSession : public ComObject<IMAPISession> {
 public:
  explicit CMapiSession(Context context) : context_(std::move(context)) {}

  HRESULT OpenMsgStore(ULONG, ULONG cbEntryId, LPENTRYID entryId, LPCIID iid, ULONG, IMsgStore** store) override {
    if (!store) return MAPI_E_INVALID_PARAMETER;
    *store = nullptr;
    EntryKind kind;
    std::string root;
    if (!ParseEntryId(entryId, cbEntryId, &kind, &root) || kind != EntryKind::Store) return MAPI_E_INVALID_ENTRYID;
    if (root != context_->store->root()) return MAPI_E_NOT_FOUND;
    if (iid && !(*iid == IMsgStore::kIid) && !(*iid == IMAPIProp::kIid) && !(*iid == IID_IUnknown))
      return MAPI_E_INTERFACE_NOT_SUPPORTED;
    *store = MakeComObject<CMsgStore, IMsgStore>(context_).Detach();
    return S_OK;
  }

  HRESULT OpenEntry(ULONG cbEntryId, LPENTRYID entryId, LPCIID iid, ULONG, ULONG* objectType,
                    IUnknown** object) override {
    return OpenEntryIn(context_, cbEntryId, entryId, iid, objectType, object);
  }

  HRESULT OpenAddressBook(ULONG, LPCIID iid, ULONG, IAddrBook** addressBook) override {
    if (!addressBook) return MAPI_E_INVALID_PARAMETER;
    *addressBook = nullptr;
    if (iid && !(*iid == IAddrBook::kIid)) return MAPI_E_INTERFACE_NOT_SUPPORTED;
    *addressBook = MakeComObject<CAddrBook, IAddrBook>().Detach();
    return S_OK;
  }

 private:
  Context context_;
};

HRESULT OpenEntryIn(const Context& context, ULONG cbEntryId, LPENTRYID entryId, LPCIID iid, ULONG* objectType,
                    IUnknown** object) {
  if (!object) return MAPI_E_INVALID_PARAMETER;
  *object = nullptr;
  EntryKind kind;
  std::string payload;
  if (!ParseEntryId(entryId, cbEntryId, &kind, &payload)) return MAPI_E_INVALID_ENTRYID;
  ComPtr<IUnknown> opened;
  ULONG type = 0;
  if (kind == EntryKind::Message) {
    std::shared_ptr<ItemState> state;
    const HRESULT hr = OpenItemStateByEntryId(context, entryId, cbEntryId, &state);
    if (FAILED(hr)) return hr;
    opened = MakeMapiMessage(std::move(state));
    type = MAPI_MESSAGE;
  } else if (kind == EntryKind::Store) {
    if (payload != context->store->root()) return MAPI_E_NOT_FOUND;
    opened = MakeComObject<CMsgStore, IMsgStore>(context);
    type = MAPI_STORE;
  } else {
    return MAPI_E_NO_SUPPORT;  // folders are reached through the object model
  }
  const HRESULT hr = QueryResult(opened.get(), iid, object);
  if (SUCCEEDED(hr) && objectType) *objectType = type;
  return hr;
}

}  // namespace

ComPtr<IMAPISession> MakeMapiSession(const Context& context) {
  return MakeComObject<CMapiSession, IMAPISession>(context);
}

}  // namespace outlook_host

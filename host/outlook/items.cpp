// Post and mail items, and their user properties, over the shared item
// state. Property puts change the item in memory; Save writes it.
#include "host/outlook/host_objects.h"
#include "platform/text.h"

namespace outlook_host {
namespace {

using Lock = std::lock_guard<std::mutex>;

class CUserProperty : public CHostObject<UserProperty> {
 public:
  CUserProperty(std::shared_ptr<ItemState> state, std::u16string name)
      : state_(std::move(state)), name_(std::move(name)) {}

  HRESULT get_Name(BSTR* name) override {
    if (!name) return E_POINTER;
    *name = name_;
    return S_OK;
  }
  HRESULT get_Type(LONG* type) override {
    if (!type) return E_POINTER;
    *type = olText;
    return S_OK;
  }
  HRESULT get_Value(VARIANT* value) override {
    if (!value) return E_POINTER;
    Lock lock(state_->mutex);
    for (const auto& [name, text] : state_->message->UserProperties()) {
      if (EqualsIgnoreCase(name, name_)) {
        *value = VariantText(text);
        return S_OK;
      }
    }
    *value = VariantText(u"");
    return S_OK;
  }
  HRESULT put_Value(const VARIANT& value) override {
    BSTR text;
    const HRESULT hr = VariantToText(value, &text);
    if (FAILED(hr)) return hr;
    Lock lock(state_->mutex);
    state_->message->SetUserProperty(name_, text);
    return S_OK;
  }

 private:
  std::shared_ptr<ItemState> state_;
  const std::u16string name_;
};

class CUserProperties : public CHostObject<UserProperties> {
 public:
  explicit CUserProperties(std::shared_ptr<ItemState> state) : state_(std::move(state)) {}

  HRESULT get_Count(LONG* count) override {
    if (!count) return E_POINTER;
    Lock lock(state_->mutex);
    *count = static_cast<LONG>(state_->message->UserProperties().size());
    return S_OK;
  }

  HRESULT Item(const VARIANT& index, UserProperty** property) override {
    if (!property) return E_POINTER;
    *property = nullptr;
    std::u16string found;
    {
      Lock lock(state_->mutex);
      const auto all = state_->message->UserProperties();
      LONG n = 0;
      if (index.vt == VT_BSTR) {
        for (const auto& p : all)
          if (EqualsIgnoreCase(p.first, index.bstrVal)) found = p.first;
      } else if (SUCCEEDED(VariantToLong(index, &n)) && n >= 1 && static_cast<std::size_t>(n) <= all.size()) {
        found = all[static_cast<std::size_t>(n - 1)].first;
      }
    }
    if (found.empty()) return MAPI_E_NOT_FOUND;
    *property = MakeComObject<CUserProperty, UserProperty>(state_, found).Detach();
    return S_OK;
  }

  HRESULT Add(const BSTR& name, LONG type, const VARIANT&, const VARIANT&, UserProperty** property) override {
    if (!property) return E_POINTER;
    *property = nullptr;
    if (name.empty() || type != olText) return E_INVALIDARG;
    std::u16string existing;
    {
      Lock lock(state_->mutex);
      for (const auto& p : state_->message->UserProperties())
        if (EqualsIgnoreCase(p.first, name)) existing = p.first;
      if (existing.empty()) state_->message->SetUserProperty(name, u"");
    }
    *property = MakeComObject<CUserProperty, UserProperty>(state_, existing.empty() ? name : existing).Detach();
    return S_OK;
  }

  HRESULT Find(const BSTR& name, const VARIANT&, UserProperty** property) override {
    if (!property) return E_POINTER;
    *property = nullptr;
    const HRESULT hr = Item(VariantText(name), property);
    return hr == MAPI_E_NOT_FOUND ? S_OK : hr;  // none found is no failure
  }

 private:
  std::shared_ptr<ItemState> state_;
};

// What post and mail items have in common.
template <class I, LONG kClass>
class CItemBase : public ComObject<I> {
 public:
  explicit CItemBase(std::shared_ptr<ItemState> state) : state_(std::move(state)) {}

  HRESULT Invoke(DISPID member, WORD flags, DISPPARAMS*, VARIANT* result) override {
    if (member != kDispidMapiObject || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (!result) return E_POINTER;
    ComPtr<IUnknown> object;
    const HRESULT hr = get_MAPIOBJECT(object.put());
    if (SUCCEEDED(hr)) *result = VariantUnknown(object.get());
    return hr;
  }

  HRESULT get_Class(LONG* objectClass) override {
    if (!objectClass) return E_POINTER;
    *objectClass = kClass;
    return S_OK;
  }
  HRESULT get_EntryID(BSTR* entryId) override {
    if (!entryId) return E_POINTER;
    Lock lock(state_->mutex);
    *entryId = state_->EntryIdLocked();
    return S_OK;
  }
  HRESULT get_MessageClass(BSTR* value) override { return Get(value, &mailstore::Message::MessageClass); }
  HRESULT put_MessageClass(const BSTR& value) override { return Put(value, &mailstore::Message::SetMessageClass); }
  HRESULT get_Subject(BSTR* value) override { return Get(value, &mailstore::Message::Subject); }
  HRESULT put_Subject(const BSTR& value) override { return Put(value, &mailstore::Message::SetSubject); }
  HRESULT get_HTMLBody(BSTR* value) override { return Get(value, &mailstore::Message::HtmlBody); }
  HRESULT put_HTMLBody(const BSTR& value) override { return Put(value, &mailstore::Message::SetHtmlBody); }
  HRESULT get_Body(BSTR* value) override { return Get(value, &mailstore::Message::TextBody); }
  HRESULT get_Categories(BSTR* value) override { return Get(value, &mailstore::Message::Categories); }
  HRESULT put_Categories(const BSTR& value) override { return Put(value, &mailstore::Message::SetCategories); }

  HRESULT get_Importance(LONG* importance) override {
    if (!importance) return E_POINTER;
    Lock lock(state_->mutex);
    *importance = state_->message->Importance();
    return S_OK;
  }
  HRESULT put_Importance(LONG importance) override {
    if (importance < olImportanceLow || importance > olImportanceHigh) return E_INVALIDARG;
    Lock lock(state_->mutex);
    state_->message->SetImportance(importance);
    return S_OK;
  }
  HRESULT get_UnRead(VARIANT_BOOL* unread) override {
    if (!unread) return E_POINTER;
    Lock lock(state_->mutex);
    *unread = state_->read ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
  }
  HRESULT put_UnRead(VARIANT_BOOL unread) override {
    Lock lock(state_->mutex);
    state_->read = !unread;
    return S_OK;
  }
  HRESULT get_SenderName(BSTR* value) override { return GetSender(value, &mailstore::Mailbox::name); }
  HRESULT get_SenderEmailAddress(BSTR* value) override { return GetSender(value, &mailstore::Mailbox::address); }
  HRESULT get_SenderEmailType(BSTR* value) override {
    if (!value) return E_POINTER;
    Lock lock(state_->mutex);
    const mailstore::Mailbox from = state_->message->From();
    *value = from.address.empty() ? u"" : from.addressType;
    return S_OK;
  }

  HRESULT get_UserProperties(UserProperties** properties) override {
    if (!properties) return E_POINTER;
    *properties = MakeComObject<CUserProperties, UserProperties>(state_).Detach();
    return S_OK;
  }
  HRESULT get_MAPIOBJECT(IUnknown** object) override {
    if (!object) return E_POINTER;
    *object = MakeMapiMessage(state_).Detach();
    return S_OK;
  }
  HRESULT Save() override {
    Lock lock(state_->mutex);
    return state_->SaveLocked();
  }

 protected:
  HRESULT Get(BSTR* value, std::u16string (mailstore::Message::*getter)() const) {
    if (!value) return E_POINTER;
    Lock lock(state_->mutex);
    *value = (state_->message.get()->*getter)();
    return S_OK;
  }
  HRESULT Put(const BSTR& value, void (mailstore::Message::*setter)(std::u16string_view)) {
    Lock lock(state_->mutex);
    (state_->message.get()->*setter)(value);
    return S_OK;
  }
  HRESULT GetSender(BSTR* value, std::u16string mailstore::Mailbox::*field) {
    if (!value) return E_POINTER;
    Lock lock(state_->mutex);
    *value = state_->message->From().*field;
    return S_OK;
  }

  std::shared_ptr<ItemState> state_;
};

class CPostItem : public CItemBase<_PostItem, olPost> {
 public:
  using CItemBase::CItemBase;
};

class CMailItem : public CItemBase<_MailItem, olMail> {
 public:
  using CItemBase::CItemBase;

  HRESULT put_Body(const BSTR& value) override { return Put(value, &mailstore::Message::SetTextBody); }
  HRESULT get_To(BSTR* value) override { return Get(value, &mailstore::Message::To); }
  HRESULT put_To(const BSTR& value) override { return Put(value, &mailstore::Message::SetTo); }
  // There is no window to show it in yet.
  HRESULT Display(const VARIANT&) override { return E_NOTIMPL; }
};

}  // namespace

ComPtr<IDispatch> MakeItem(std::shared_ptr<ItemState> state) {
  std::u16string messageClass;
  {
    Lock lock(state->mutex);
    messageClass = state->message->MessageClass();
  }
  if (messageClass.size() >= 8 && EqualsIgnoreCase(std::u16string_view(messageClass).substr(0, 8), u"IPM.Post"))
    return MakeComObject<CPostItem, _PostItem>(std::move(state));
  return MakeComObject<CMailItem, _MailItem>(std::move(state));
}

}  // namespace outlook_host

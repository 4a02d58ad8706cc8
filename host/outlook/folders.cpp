// Folders, their subfolder collections and their item collections.
#include "host/outlook/entry_ids.h"
#include "host/outlook/host_objects.h"
#include "platform/text.h"

namespace outlook_host {
namespace {

using mailstore::MailFolder;

class CItems : public CHostObject<_Items> {
 public:
  CItems(Context context, std::shared_ptr<MailFolder> folder)
      : context_(std::move(context)), folder_(std::move(folder)) {}

  HRESULT get_Count(LONG* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(folder_->List().size());
    return S_OK;
  }

  HRESULT Item(const VARIANT& index, IDispatch** item) override {
    if (!item) return E_POINTER;
    *item = nullptr;
    LONG n = 0;
    if (FAILED(VariantToLong(index, &n))) return DISP_E_TYPEMISMATCH;
    const auto ids = folder_->List();
    if (n < 1 || static_cast<std::size_t>(n) > ids.size()) return DISP_E_BADINDEX;
    std::shared_ptr<ItemState> state;
    const HRESULT hr = OpenItemState(context_, folder_, ids[static_cast<std::size_t>(n - 1)], &state);
    if (FAILED(hr)) return hr;
    *item = MakeItem(std::move(state)).Detach();
    return S_OK;
  }

  HRESULT Add(const VARIANT& type, IDispatch** item) override {
    if (!item) return E_POINTER;
    *item = nullptr;
    std::u16string messageClass = u"IPM.Note";
    LONG itemType = 0;
    if (type.vt == VT_BSTR) {
      if (type.bstrVal.empty()) return E_INVALIDARG;
      messageClass = type.bstrVal;
    } else if (!IsVariantOmitted(type)) {
      if (FAILED(VariantToLong(type, &itemType))) return DISP_E_TYPEMISMATCH;
      if (itemType == olPostItem)
        messageClass = u"IPM.Post";
      else if (itemType != olMailItem)
        return E_INVALIDARG;
    }
    *item = MakeItem(NewItemState(context_, folder_, messageClass)).Detach();
    return S_OK;
  }

 private:
  Context context_;
  std::shared_ptr<MailFolder> folder_;
};

class CFolders : public CHostObject<_Folders> {
 public:
  CFolders(Context context, std::shared_ptr<MailFolder> parent)
      : context_(std::move(context)), parent_(std::move(parent)) {}

  HRESULT get_Count(LONG* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(context_->store->Children(*parent_).size());
    return S_OK;
  }

  HRESULT Item(const VARIANT& index, MAPIFolder** folder) override {
    if (!folder) return E_POINTER;
    *folder = nullptr;
    std::shared_ptr<MailFolder> found;
    if (index.vt == VT_BSTR) {
      found = context_->store->FindChild(*parent_, index.bstrVal);
    } else {
      LONG n = 0;
      if (FAILED(VariantToLong(index, &n))) return DISP_E_TYPEMISMATCH;
      const auto children = context_->store->Children(*parent_);
      if (n >= 1 && static_cast<std::size_t>(n) <= children.size()) found = children[static_cast<std::size_t>(n - 1)];
    }
    if (!found) return MAPI_E_NOT_FOUND;
    *folder = MakeFolder(context_, std::move(found)).Detach();
    return S_OK;
  }

  HRESULT Add(const BSTR& name, const VARIANT&, MAPIFolder** folder) override {
    if (!folder) return E_POINTER;
    *folder = nullptr;
    mailstore::MailStore::CreateResult result;
    auto created = context_->store->CreateChild(*parent_, name, &result);
    switch (result) {
      case mailstore::MailStore::CreateResult::Created:
        *folder = MakeFolder(context_, std::move(created)).Detach();
        return S_OK;
      case mailstore::MailStore::CreateResult::Exists:
        return MAPI_E_COLLISION;
      case mailstore::MailStore::CreateResult::Invalid:
        return E_INVALIDARG;
      case mailstore::MailStore::CreateResult::Failed:
        break;
    }
    return MAPI_E_CALL_FAILED;
  }

 private:
  Context context_;
  std::shared_ptr<MailFolder> parent_;
};

class CFolder : public CHostObject<MAPIFolder> {
 public:
  CFolder(Context context, std::shared_ptr<MailFolder> folder)
      : context_(std::move(context)), folder_(std::move(folder)) {}

  HRESULT get_Folders(_Folders** folders) override {
    if (!folders) return E_POINTER;
    *folders = MakeComObject<CFolders, _Folders>(context_, folder_).Detach();
    return S_OK;
  }
  HRESULT get_Items(_Items** items) override {
    if (!items) return E_POINTER;
    *items = MakeComObject<CItems, _Items>(context_, folder_).Detach();
    return S_OK;
  }
  HRESULT get_Name(BSTR* name) override {
    if (!name) return E_POINTER;
    *name = folder_->Name();
    return S_OK;
  }
  HRESULT get_EntryID(BSTR* entryId) override {
    if (!entryId) return E_POINTER;
    *entryId = EntryIdText(EntryKind::Folder, folder_->dirName());
    return S_OK;
  }
  HRESULT get_StoreID(BSTR* storeId) override {
    if (!storeId) return E_POINTER;
    *storeId = EntryIdText(EntryKind::Store, context_->store->root());
    return S_OK;
  }

 private:
  Context context_;
  std::shared_ptr<MailFolder> folder_;
};

}  // namespace

ComPtr<MAPIFolder> MakeFolder(const Context& context, std::shared_ptr<MailFolder> folder) {
  return MakeComObject<CFolder, MAPIFolder>(context, std::move(folder));
}

}  // namespace outlook_host

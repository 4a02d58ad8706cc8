#include "host/outlook/application.h"

#include "host/outlook/entry_ids.h"
#include "platform/text.h"

namespace outlook_host {
namespace {

using mailstore::DefaultFolder;

class CNameSpace : public CHostObject<_NameSpace> {
 public:
  explicit CNameSpace(Context context) : context_(std::move(context)) {}

  HRESULT GetFolderFromID(const BSTR& entryId, const VARIANT& storeId, MAPIFolder** folder) override {
    if (!folder) return E_POINTER;
    *folder = nullptr;
    HRESULT hr = CheckStore(storeId);
    if (FAILED(hr)) return hr;
    std::string payload;
    hr = ParseTextId(entryId, EntryKind::Folder, &payload);
    if (FAILED(hr)) return hr;
    auto found = context_->store->FolderByDirName(payload);
    if (!found) return MAPI_E_NOT_FOUND;
    *folder = MakeFolder(context_, std::move(found)).Detach();
    return S_OK;
  }

  HRESULT GetDefaultFolder(LONG folderType, MAPIFolder** folder) override {
    if (!folder) return E_POINTER;
    *folder = nullptr;
    DefaultFolder kind;
    switch (folderType) {
      case olFolderInbox: kind = DefaultFolder::Inbox; break;
      case olFolderOutbox: kind = DefaultFolder::Outbox; break;
      case olFolderSentMail: kind = DefaultFolder::SentItems; break;
      case olFolderDeletedItems: kind = DefaultFolder::DeletedItems; break;
      case olFolderDrafts: kind = DefaultFolder::Drafts; break;
      default: return E_INVALIDARG;
    }
    auto found = context_->store->Default(kind);
    if (!found) return MAPI_E_NOT_FOUND;
    *folder = MakeFolder(context_, std::move(found)).Detach();
    return S_OK;
  }

  HRESULT GetItemFromID(const BSTR& entryId, const VARIANT& storeId, IDispatch** item) override {
    if (!item) return E_POINTER;
    *item = nullptr;
    HRESULT hr = CheckStore(storeId);
    if (FAILED(hr)) return hr;
    std::vector<BYTE> bytes;
    if (!HexToBytes(entryId, &bytes)) return MAPI_E_INVALID_ENTRYID;
    std::shared_ptr<ItemState> state;
    hr = OpenItemStateByEntryId(context_, bytes.data(), bytes.size(), &state);
    if (FAILED(hr)) return hr;
    *item = MakeItem(std::move(state)).Detach();
    return S_OK;
  }

  HRESULT PickFolder(MAPIFolder** folder) override {
    if (!folder) return E_POINTER;
    *folder = nullptr;
    return context_->pickFolder ? context_->pickFolder(this, folder) : S_OK;
  }

  HRESULT get_MAPIOBJECT(IUnknown** object) override {
    if (!object) return E_POINTER;
    *object = MakeMapiSession(context_).Detach();
    return S_OK;
  }

 private:
  HRESULT ParseTextId(const BSTR& text, EntryKind expected, std::string* payload) const {
    std::vector<BYTE> bytes;
    EntryKind kind;
    if (!HexToBytes(text, &bytes) || !ParseEntryId(bytes.data(), bytes.size(), &kind, payload) || kind != expected)
      return MAPI_E_INVALID_ENTRYID;
    return S_OK;
  }

  // An omitted or empty store id means the default store, the only one.
  HRESULT CheckStore(const VARIANT& storeId) const {
    if (IsVariantOmitted(storeId)) return S_OK;
    if (storeId.vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
    if (storeId.bstrVal.empty()) return S_OK;
    std::string root;
    const HRESULT hr = ParseTextId(storeId.bstrVal, EntryKind::Store, &root);
    if (FAILED(hr)) return hr;
    return root == context_->store->root() ? S_OK : MAPI_E_NOT_FOUND;
  }

  Context context_;
};

class CApplication : public CHostObject<_Application> {
 public:
  explicit CApplication(Context context) : context_(context), session_(MakeNameSpace(context)) {}

  HRESULT get_Session(_NameSpace** session) override { return session_.CopyTo(session); }
  HRESULT get_Version(BSTR* version) override {
    if (!version) return E_POINTER;
    *version = kHostOutlookVersion;
    return S_OK;
  }
  HRESULT ActiveExplorer(_Explorer** explorer) override {
    if (!explorer) return E_POINTER;
    *explorer = nullptr;  // no windows yet
    return S_OK;
  }
  HRESULT get_Explorers(_Explorers** explorers) override {
    if (!explorers) return E_POINTER;
    *explorers = nullptr;
    return E_NOTIMPL;
  }
  HRESULT CreateItem(LONG itemType, IDispatch** item) override {
    if (!item) return E_POINTER;
    *item = nullptr;
    std::shared_ptr<mailstore::MailFolder> folder;
    std::u16string messageClass;
    if (itemType == olMailItem) {
      folder = context_->store->Default(DefaultFolder::Drafts);
      messageClass = u"IPM.Note";
    } else if (itemType == olPostItem) {
      folder = context_->store->Inbox();
      messageClass = u"IPM.Post";
    } else {
      return E_INVALIDARG;
    }
    if (!folder) return MAPI_E_NOT_FOUND;
    *item = MakeItem(NewItemState(context_, std::move(folder), messageClass)).Detach();
    return S_OK;
  }

 private:
  Context context_;
  ComPtr<_NameSpace> session_;
};

}  // namespace

ComPtr<_NameSpace> MakeNameSpace(const Context& context) { return MakeComObject<CNameSpace, _NameSpace>(context); }

}  // namespace outlook_host

HRESULT CreateOutlookApplication(const std::string& maildirRoot, outlook_host::PickFolderHandler pickFolder,
                                 _Application** application, std::string* error) {
  using namespace outlook_host;
  if (!application) return E_POINTER;
  *application = nullptr;
  const std::string root = maildirRoot.empty() ? mailstore::MailStore::DefaultRoot() : maildirRoot;
  auto store = OpenSharedStore(root, error);
  if (!store) return E_FAIL;
  SetProfileStore(store);
  auto context = std::make_shared<HostContext>();
  context->store = std::move(store);
  context->pickFolder = std::move(pickFolder);
  *application = MakeComObject<CApplication, _Application>(Context(std::move(context))).Detach();
  return S_OK;
}

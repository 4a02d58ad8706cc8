// The host's object model and MAPI objects, as the pieces of this folder
// create them for each other. Every object holds the shared context (the
// store) and, for items, the shared item state, so that an item, its user
// properties and its MAPI message are views of one message.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "addin/import/mapi.h"
#include "addin/import/outlook.h"
#include "host/mailstore/maildir.h"
#include "host/mailstore/message.h"
#include "platform/com/com_object.h"

namespace outlook_host {

using PickFolderHandler = std::function<HRESULT(_NameSpace* session, MAPIFolder** folder)>;

struct HostContext {
  std::shared_ptr<mailstore::MailStore> store;
  PickFolderHandler pickFolder;
};
using Context = std::shared_ptr<const HostContext>;

// One item: its folder, its unique name once saved, and its content. The
// item objects and the MAPI message of one item share it; `mutex` guards
// every field.
struct ItemState {
  std::mutex mutex;
  Context context;
  std::shared_ptr<mailstore::MailFolder> folder;
  std::string id;  // empty until the first save
  std::unique_ptr<mailstore::Message> message;
  bool read = false;
  std::optional<std::int64_t> deliveryTime;

  // Writes the item: the first save delivers it, later ones rewrite it.
  HRESULT SaveLocked();
  std::u16string EntryIdLocked() const;
};

// A new unsaved item of the message class in the folder.
std::shared_ptr<ItemState> NewItemState(const Context& context, std::shared_ptr<mailstore::MailFolder> folder,
                                        std::u16string_view messageClass);
// A stored item; MAPI_E_NOT_FOUND when there is none, MAPI_E_CORRUPT_DATA
// when the file is not a message.
HRESULT OpenItemState(const Context& context, std::shared_ptr<mailstore::MailFolder> folder, const std::string& id,
                      std::shared_ptr<ItemState>* state);
// Resolves a message entry id of this store.
HRESULT OpenItemStateByEntryId(const Context& context, const BYTE* entryId, std::size_t size,
                               std::shared_ptr<ItemState>* state);

// Seconds since 1970 <-> FILETIME.
FILETIME UnixSecondsToFileTime(std::int64_t seconds);
std::int64_t FileTimeToUnixSeconds(const FILETIME& ft);

// Object makers.
ComPtr<MAPIFolder> MakeFolder(const Context& context, std::shared_ptr<mailstore::MailFolder> folder);
// A _PostItem for "IPM.Post" items, a _MailItem for the others.
ComPtr<IDispatch> MakeItem(std::shared_ptr<ItemState> state);
ComPtr<IMessage> MakeMapiMessage(std::shared_ptr<ItemState> state);
ComPtr<IMAPISession> MakeMapiSession(const Context& context);
ComPtr<_NameSpace> MakeNameSpace(const Context& context);

// The store behind MAPILogonEx: the one the last application was made over,
// else the user's default Maildir.
void SetProfileStore(std::shared_ptr<mailstore::MailStore> store);
std::shared_ptr<mailstore::MailStore> ProfileStore(std::string* error);
// One store object per root in the process, so that every view of a
// folder shares its locks.
std::shared_ptr<mailstore::MailStore> OpenSharedStore(const std::string& root, std::string* error);

// Base of the objects that have no late-bound members.
template <class... Interfaces>
class CHostObject : public ComObject<Interfaces...> {
 public:
  HRESULT Invoke(DISPID, WORD, DISPPARAMS*, VARIANT*) override { return DISP_E_MEMBERNOTFOUND; }
};

}  // namespace outlook_host

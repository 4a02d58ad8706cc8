#include <cerrno>
#include <cstring>
#include <ctime>

#include <log4cpp/Category.hh>

#include "host/outlook/entry_ids.h"
#include "host/outlook/host_objects.h"
#include "platform/text.h"

namespace outlook_host {

FILETIME UnixSecondsToFileTime(std::int64_t seconds) {
  return U64ToFileTime(kFileTimeUnixEpoch + static_cast<std::uint64_t>(seconds) * 10000000ull);
}

std::int64_t FileTimeToUnixSeconds(const FILETIME& ft) {
  const auto ticks = static_cast<std::int64_t>(FileTimeToU64(ft)) - static_cast<std::int64_t>(kFileTimeUnixEpoch);
  // Floor division, so times before 1970 round down as well.
  return ticks >= 0 ? ticks / 10000000 : -((-ticks + 9999999) / 10000000);
}

HRESULT ItemState::SaveLocked() {
  const auto now = static_cast<std::int64_t>(std::time(nullptr));
  // Like a posted item, a saved one carries the time it was first saved
  // until somebody sets another.
  if (id.empty() && !message->Date()) message->SetDate(now);
  const std::string bytes = message->Serialize();
  const std::int64_t delivery = deliveryTime.value_or(now);
  bool ok;
  if (id.empty()) {
    std::string newId;
    ok = folder->Deliver(bytes, read, delivery, &newId);
    if (ok) id = newId;
  } else {
    ok = folder->Rewrite(id, bytes, read, delivery);
  }
  if (!ok) {
    const int err = errno;
    log4cpp::Category::getInstance("mst").error("sv: %s %s failed. %s", folder->path().c_str(),
                                                id.empty() ? "delivery" : id.c_str(), std::strerror(err));
    if (err == ENOENT && !id.empty()) return MAPI_E_OBJECT_DELETED;
    return err == ENOSPC ? HRESULT_FROM_WIN32(112 /* ERROR_DISK_FULL */) : MAPI_E_CALL_FAILED;
  }
  deliveryTime = delivery;
  return S_OK;
}

std::u16string ItemState::EntryIdLocked() const {
  if (id.empty()) return {};
  return EntryIdText(EntryKind::Message, MessagePayload(folder->dirName(), id));
}

std::shared_ptr<ItemState> NewItemState(const Context& context, std::shared_ptr<mailstore::MailFolder> folder,
                                        std::u16string_view messageClass) {
  auto state = std::make_shared<ItemState>();
  state->context = context;
  state->folder = std::move(folder);
  state->message = std::make_unique<mailstore::Message>(messageClass);
  return state;
}

HRESULT OpenItemState(const Context& context, std::shared_ptr<mailstore::MailFolder> folder, const std::string& id,
                      std::shared_ptr<ItemState>* state) {
  mailstore::StoredMessage stored;
  if (!folder || !folder->Read(id, &stored)) return MAPI_E_NOT_FOUND;
  auto message = mailstore::Message::Parse(stored.bytes);
  if (!message) return MAPI_E_CORRUPT_DATA;
  auto s = std::make_shared<ItemState>();
  s->context = context;
  s->folder = std::move(folder);
  s->id = id;
  s->message = std::move(message);
  s->read = stored.read;
  s->deliveryTime = stored.deliveryTime;
  *state = std::move(s);
  return S_OK;
}

HRESULT OpenItemStateByEntryId(const Context& context, const BYTE* entryId, std::size_t size,
                               std::shared_ptr<ItemState>* state) {
  EntryKind kind;
  std::string payload, dirName, id;
  if (!ParseEntryId(entryId, size, &kind, &payload) || kind != EntryKind::Message ||
      !SplitMessagePayload(payload, &dirName, &id) || !mailstore::MailFolder::IsValidId(id))
    return MAPI_E_INVALID_ENTRYID;
  auto folder = context->store->FolderByDirName(dirName);
  if (!folder) return MAPI_E_NOT_FOUND;
  return OpenItemState(context, std::move(folder), id, state);
}

}  // namespace outlook_host

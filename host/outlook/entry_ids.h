// Entry and store ids of the mail store. As bytes: four zero flag bytes,
// the store provider's 16-byte id, a kind byte and a UTF-8 payload - the
// store's root path, a folder's directory name, or a folder's directory name
// and a message's unique name. As text: the bytes in upper-case hex, which
// is how the settings keep them. They stay valid while the folder or the
// message is not moved or renamed.
#pragma once

#include <string>
#include <vector>

#include "host/mailstore/message.h"
#include "platform/win32.h"

namespace outlook_host {

enum class EntryKind : char { Store = 'S', Folder = 'F', Message = 'M' };

std::vector<BYTE> MakeEntryId(EntryKind kind, const std::string& payload);
// False for bytes that are not an id of this provider.
bool ParseEntryId(const BYTE* bytes, std::size_t size, EntryKind* kind, std::string* payload);

std::u16string BytesToHex(const std::vector<BYTE>& bytes);
// False for text that is not an even number of hex digits.
bool HexToBytes(std::u16string_view hex, std::vector<BYTE>* bytes);

inline std::u16string EntryIdText(EntryKind kind, const std::string& payload) {
  return BytesToHex(MakeEntryId(kind, payload));
}
// A message's payload: "<folder dir name>/<unique name>".
std::string MessagePayload(const std::string& folderDirName, const std::string& id);
bool SplitMessagePayload(const std::string& payload, std::string* folderDirName, std::string* id);

// The one-off entry id of a recipient, as CreateOneOff makes it: no store
// behind it, the name, address type and address are the id itself.
std::vector<BYTE> MakeOneOffEntryId(std::u16string_view name, std::u16string_view addressType,
                                    std::u16string_view address, bool noRichInfo);
// False for bytes that are not a complete one-off id.
bool ParseOneOffEntryId(const BYTE* bytes, std::size_t size, mailstore::Mailbox* mailbox);

}  // namespace outlook_host

// Entry ids arrive from the settings (hex text in the registry) and from
// MAPI callers: parsing must survive any bytes, and whatever parses must be
// exactly what the makers would write for it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/outlook/entry_ids.h"

namespace {

void CheckStoreId(const std::vector<BYTE>& bytes) {
  outlook_host::EntryKind kind;
  std::string payload;
  if (!outlook_host::ParseEntryId(bytes.data(), bytes.size(), &kind, &payload)) return;
  if (payload.find('\0') != std::string::npos) __builtin_trap();
  if (outlook_host::MakeEntryId(kind, payload) != bytes) __builtin_trap();
  std::string folder, id;
  if (kind == outlook_host::EntryKind::Message && outlook_host::SplitMessagePayload(payload, &folder, &id) &&
      outlook_host::MessagePayload(folder, id) != payload)
    __builtin_trap();
}

void CheckOneOffId(const std::vector<BYTE>& bytes) {
  mailstore::Mailbox mailbox;
  if (!outlook_host::ParseOneOffEntryId(bytes.data(), bytes.size(), &mailbox)) return;
  for (const std::u16string* field : {&mailbox.name, &mailbox.addressType, &mailbox.address})
    if (field->find(u'\0') != std::u16string::npos) __builtin_trap();
  const std::vector<BYTE> again =
      outlook_host::MakeOneOffEntryId(mailbox.name, mailbox.addressType, mailbox.address, true);
  mailstore::Mailbox reread;
  if (!outlook_host::ParseOneOffEntryId(again.data(), again.size(), &reread) || !(reread == mailbox))
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<BYTE> bytes(data, data + size);
  CheckStoreId(bytes);
  CheckOneOffId(bytes);

  // The bytes as the hex text the settings keep.
  const std::u16string text(data, data + size);
  std::vector<BYTE> decoded;
  if (outlook_host::HexToBytes(text, &decoded)) {
    std::u16string upper = text;
    for (char16_t& c : upper)
      if (c >= u'a' && c <= u'f') c = static_cast<char16_t>(c - u'a' + u'A');
    if (outlook_host::BytesToHex(decoded) != upper) __builtin_trap();
    CheckStoreId(decoded);
    CheckOneOffId(decoded);
  } else if (!decoded.empty()) {
    __builtin_trap();  // nothing half-decoded is left behind
  }
  return 0;
}

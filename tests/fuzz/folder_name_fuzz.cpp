// Folder directory names come from whatever tools share the Maildir tree:
// decoding must survive any bytes, and any name the add-in may create must
// come back unchanged from the directory name it is written as.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/mailstore/folder_names.h"

namespace {

// What a written name must be to stand as one component of ".Parent.Child":
// printable ASCII without the separator, "/" or a leading "~".
bool IsOneComponent(const std::string& encoded) {
  for (char c : encoded) {
    if (c < 0x20 || c > 0x7E || c == '.' || c == '/') return false;
  }
  return encoded.empty() || encoded.front() != '~';
}

void CheckWritten(const std::u16string& name) {
  const std::string encoded = mailstore::EncodeFolderName(name);
  if (!IsOneComponent(encoded)) __builtin_trap();
  if (encoded.empty() != name.empty()) __builtin_trap();
  if (mailstore::DecodeFolderName(encoded) != name) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The bytes as a directory name found on disk.
  const std::string_view onDisk(reinterpret_cast<const char*>(data), size);
  const std::u16string decoded = mailstore::DecodeFolderName(onDisk);
  CheckWritten(decoded);

  // The bytes as a name the user typed (UTF-16, lone surrogates and all).
  std::u16string typed;
  for (std::size_t i = 0; i + 1 < size; i += 2) typed += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  CheckWritten(typed);
  return 0;
}

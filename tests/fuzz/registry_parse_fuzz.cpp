// Hive file text from anywhere must never crash the parser, and whatever it
// accepts must survive a write and a read unchanged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/reg_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using platform::reg::Key;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Key root(u"HKEY_CURRENT_USER");
  std::string error;
  if (!platform::reg::ParseRegText(text, &root, &error)) return 0;

  const std::string once = platform::reg::SerializeRegText(root);
  Key again(u"HKEY_CURRENT_USER");
  if (!platform::reg::ParseRegText(once, &again, &error)) __builtin_trap();
  if (platform::reg::SerializeRegText(again) != once) __builtin_trap();
  return 0;
}

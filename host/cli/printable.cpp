#include <cstdio>

#include "host/cli/cli.h"
#include "platform/text.h"

namespace cli {

std::string PrintableText(std::u16string_view text) {
  std::u16string safe;
  safe.reserve(text.size());
  for (const char16_t c : text) {
    // C0 and C1 controls and DEL: terminals act on them.
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned>(c));
      for (const char* p = buf; *p; ++p) safe.push_back(static_cast<char16_t>(*p));
    } else {
      safe.push_back(c);
    }
  }
  return Utf16ToUtf8(safe);
}

}  // namespace cli

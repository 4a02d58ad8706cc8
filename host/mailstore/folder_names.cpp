#include "host/mailstore/folder_names.h"

#include <optional>

#include "platform/text.h"

namespace mailstore {
namespace {

// Modified base64 of RFC 3501: "," in place of "/", no padding.
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == ',') return 63;
  return -1;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendBase64Run(std::u16string_view run, std::string& out) {
  out += '&';
  std::uint32_t bits = 0;
  int count = 0;
  for (char16_t unit : run) {
    bits = (bits << 16) | unit;
    count += 16;
    while (count >= 6) {
      count -= 6;
      out += kBase64[(bits >> count) & 0x3F];
    }
  }
  if (count > 0) out += kBase64[(bits << (6 - count)) & 0x3F];
  out += '-';
}

// Decodes the modified UTF-7 and escapes; nullopt when ill-formed.
std::optional<std::u16string> StrictDecode(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    const char c = s[i];
    if (c == '\\') {
      if (i + 2 >= s.size()) return std::nullopt;
      const int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      out += static_cast<char16_t>(hi * 16 + lo);
      i += 3;
    } else if (c == '&') {
      const std::size_t end = s.find('-', i + 1);
      if (end == std::string_view::npos) return std::nullopt;
      if (end == i + 1) {
        out += u'&';
      } else {
        std::uint32_t bits = 0;
        int count = 0;
        for (std::size_t j = i + 1; j < end; ++j) {
          const int v = Base64Value(s[j]);
          if (v < 0) return std::nullopt;
          bits = (bits << 6) | static_cast<std::uint32_t>(v);
          count += 6;
          if (count >= 16) {
            count -= 16;
            const char16_t unit = static_cast<char16_t>((bits >> count) & 0xFFFF);
            // A run holds only what could not stand as itself.
            if (unit >= 0x20 && unit <= 0x7E) return std::nullopt;
            out += unit;
          }
        }
        if (count >= 6 || (bits & ((1u << count) - 1)) != 0) return std::nullopt;
      }
      i = end + 1;
    } else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) {
      return std::nullopt;
    } else {
      out += static_cast<char16_t>(c);
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string EncodeFolderName(std::u16string_view name) {
  std::string out;
  std::size_t i = 0;
  while (i < name.size()) {
    const char16_t c = name[i];
    if (c < 0x20 || c > 0x7E) {
      std::size_t end = i;
      while (end < name.size() && (name[end] < 0x20 || name[end] > 0x7E)) ++end;
      AppendBase64Run(name.substr(i, end - i), out);
      i = end;
      continue;
    }
    if (c == u'&') {
      out += "&-";
    } else if (c == u'.' || c == u'/' || c == u'\\' || (c == u'~' && i == 0)) {
      static const char kHex[] = "0123456789abcdef";
      out += '\\';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
    ++i;
  }
  return out;
}

std::u16string DecodeFolderName(std::string_view encoded) {
  if (auto decoded = StrictDecode(encoded)) return *decoded;
  return Utf8ToUtf16(encoded);
}

}  // namespace mailstore

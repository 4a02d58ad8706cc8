#include "platform/com/guid.h"

#include <string_view>

namespace {

constexpr char16_t kHex[] = u"0123456789ABCDEF";

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads `digits` hex digits at `pos`.
bool ReadHex(std::u16string_view text, std::size_t pos, int digits, std::uint32_t* value) {
  if (pos + digits > text.size()) return false;
  std::uint32_t v = 0;
  for (int i = 0; i < digits; ++i) {
    const int h = HexValue(text[pos + i]);
    if (h < 0) return false;
    v = (v << 4) | static_cast<std::uint32_t>(h);
  }
  *value = v;
  return true;
}

}  // namespace

int StringFromGUID2(REFGUID guid, LPWSTR text, int capacity) {
  if (!text || capacity < 39) return 0;
  int n = 0;
  auto put = [&](std::uint32_t v, int digits) {
    for (int i = digits - 1; i >= 0; --i) text[n++] = kHex[(v >> (i * 4)) & 0xF];
  };
  text[n++] = u'{';
  put(guid.Data1, 8);
  text[n++] = u'-';
  put(guid.Data2, 4);
  text[n++] = u'-';
  put(guid.Data3, 4);
  text[n++] = u'-';
  put(guid.Data4[0], 2);
  put(guid.Data4[1], 2);
  text[n++] = u'-';
  for (int i = 2; i < 8; ++i) put(guid.Data4[i], 2);
  text[n++] = u'}';
  text[n++] = 0;
  return n;
}

HRESULT CLSIDFromString(LPCWSTR text, CLSID* clsid) {
  if (!text || !clsid) return E_INVALIDARG;
  const std::u16string_view s(text);
  if (s.size() != 38 || s[0] != u'{' || s[9] != u'-' || s[14] != u'-' || s[19] != u'-' || s[24] != u'-' ||
      s[37] != u'}')
    return E_INVALIDARG;
  GUID g{};
  std::uint32_t v = 0;
  if (!ReadHex(s, 1, 8, &v)) return E_INVALIDARG;
  g.Data1 = v;
  if (!ReadHex(s, 10, 4, &v)) return E_INVALIDARG;
  g.Data2 = static_cast<std::uint16_t>(v);
  if (!ReadHex(s, 15, 4, &v)) return E_INVALIDARG;
  g.Data3 = static_cast<std::uint16_t>(v);
  static const std::size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(s, kBytePos[i], 2, &v)) return E_INVALIDARG;
    g.Data4[i] = static_cast<std::uint8_t>(v);
  }
  *clsid = g;
  return S_OK;
}

HRESULT IIDFromString(LPCWSTR text, IID* iid) { return CLSIDFromString(text, iid); }

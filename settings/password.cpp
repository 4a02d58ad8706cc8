#include "settings/password.h"

#include <string.h>

#include <vector>

#include "platform/dpapi.h"
#include "platform/text.h"

namespace {
// Fixed entropy bound into every protected password.
constexpr BYTE kEntropy[] = {'Q', 'z', '8', 'v', 'T', 'k', 'p', '4'};

DATA_BLOB EntropyBlob() { return DATA_BLOB{sizeof kEntropy, const_cast<BYTE*>(kEntropy)}; }

CRYPTPROTECT_PROMPTSTRUCT Prompt() { return CRYPTPROTECT_PROMPTSTRUCT{16, 0, nullptr, nullptr}; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

std::u16string ProtectPassword(std::u16string_view clearText) {
  if (clearText.empty()) return {};
  // UTF-16LE with its terminating NUL.
  std::vector<BYTE> input;
  input.reserve((clearText.size() + 1) * 2);
  for (char16_t c : clearText) {
    input.push_back(static_cast<BYTE>(c & 0xFF));
    input.push_back(static_cast<BYTE>(c >> 8));
  }
  input.push_back(0);
  input.push_back(0);
  DATA_BLOB in{static_cast<DWORD>(input.size()), input.data()};
  DATA_BLOB entropy = EntropyBlob();
  CRYPTPROTECT_PROMPTSTRUCT prompt = Prompt();
  DATA_BLOB out{0, nullptr};
  const BOOL ok = CryptProtectData(&in, u"", &entropy, nullptr, &prompt, 0, &out);
  explicit_bzero(input.data(), input.size());  // no clear text left behind
  if (!ok) return {};
  static const char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string hex;
  hex.reserve(out.cbData * 2);
  for (DWORD i = 0; i < out.cbData; ++i) {
    hex.push_back(kHex[out.pbData[i] >> 4]);
    hex.push_back(kHex[out.pbData[i] & 15]);
  }
  LocalFree(out.pbData);
  return hex;
}

std::u16string UnprotectPassword(std::u16string_view hexText) {
  if (hexText.empty()) return {};
  const std::string narrow = Utf16ToUtf8(hexText);
  if (narrow.size() % 2 != 0) return {};
  std::vector<BYTE> blob(narrow.size() / 2);
  for (std::size_t i = 0; i < blob.size(); ++i) {
    const int hi = HexDigit(narrow[2 * i]);
    const int lo = HexDigit(narrow[2 * i + 1]);
    if (hi < 0 || lo < 0) return {};
    blob[i] = static_cast<BYTE>(hi << 4 | lo);
  }
  DATA_BLOB in{static_cast<DWORD>(blob.size()), blob.data()};
  DATA_BLOB entropy = EntropyBlob();
  CRYPTPROTECT_PROMPTSTRUCT prompt = Prompt();
  DATA_BLOB out{0, nullptr};
  if (!CryptUnprotectData(&in, nullptr, &entropy, nullptr, &prompt, 0, &out)) return {};
  // The clear text is a NUL-terminated UTF-16LE string.
  std::u16string clear;
  for (DWORD i = 0; i + 1 < out.cbData; i += 2) {
    const char16_t c = static_cast<char16_t>(out.pbData[i] | (out.pbData[i + 1] << 8));
    if (c == 0) break;
    clear.push_back(c);
  }
  explicit_bzero(out.pbData, out.cbData);
  LocalFree(out.pbData);
  return clear;
}

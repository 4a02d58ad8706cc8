#include "host/outlook/entry_ids.h"

#include <algorithm>

namespace outlook_host {
namespace {

// The store provider's own id (random, fixed for all time).
constexpr BYTE kProviderUid[16] = {0x5E, 0x1D, 0x9A, 0x27, 0xC4, 0x3B, 0x4F, 0x81,
                                   0xA6, 0x0E, 0x72, 0xD9, 0x13, 0x58, 0xB4, 0x6C};
constexpr std::size_t kHeaderSize = 4 + 16 + 1;

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace

std::vector<BYTE> MakeEntryId(EntryKind kind, const std::string& payload) {
  std::vector<BYTE> id(kHeaderSize + payload.size(), 0);
  std::copy(std::begin(kProviderUid), std::end(kProviderUid), id.begin() + 4);
  id[20] = static_cast<BYTE>(kind);
  std::copy(payload.begin(), payload.end(), id.begin() + kHeaderSize);
  return id;
}

bool ParseEntryId(const BYTE* bytes, std::size_t size, EntryKind* kind, std::string* payload) {
  if (!bytes || size < kHeaderSize) return false;
  for (int i = 0; i < 4; ++i)
    if (bytes[i] != 0) return false;
  for (int i = 0; i < 16; ++i)
    if (bytes[4 + i] != kProviderUid[i]) return false;
  const char k = static_cast<char>(bytes[20]);
  if (k != 'S' && k != 'F' && k != 'M') return false;
  *kind = static_cast<EntryKind>(k);
  payload->assign(reinterpret_cast<const char*>(bytes) + kHeaderSize, size - kHeaderSize);
  return payload->find('\0') == std::string::npos;
}

std::u16string BytesToHex(const std::vector<BYTE>& bytes) {
  static const char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string hex;
  hex.reserve(bytes.size() * 2);
  for (BYTE b : bytes) {
    hex += kHex[b >> 4];
    hex += kHex[b & 0xF];
  }
  return hex;
}

bool HexToBytes(std::u16string_view hex, std::vector<BYTE>* bytes) {
  bytes->clear();
  if (hex.size() % 2) return false;
  bytes->reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = HexValue(hex[i]), lo = HexValue(hex[i + 1]);
    if (hi < 0 || lo < 0) {
      bytes->clear();
      return false;
    }
    bytes->push_back(static_cast<BYTE>(hi * 16 + lo));
  }
  return true;
}

std::string MessagePayload(const std::string& folderDirName, const std::string& id) { return folderDirName + "/" + id; }

bool SplitMessagePayload(const std::string& payload, std::string* folderDirName, std::string* id) {
  const std::size_t slash = payload.find('/');
  if (slash == std::string::npos) return false;
  *folderDirName = payload.substr(0, slash);
  *id = payload.substr(slash + 1);
  return true;
}

}  // namespace outlook_host

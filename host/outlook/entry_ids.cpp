#include "host/outlook/entry_ids.h"

#include <algorithm>
#include <cstring>

namespace outlook_host {
namespace {

// The store provider's own id (random, fixed for all time).
constexpr BYTE kProviderUid[16] = {0x5E, 0x1D, 0x9A, 0x27, 0xC4, 0x3B, 0x4F, 0x81,
                                   0xA6, 0x0E, 0x72, 0xD9, 0x13, 0x58, 0xB4, 0x6C};
constexpr std::size_t kHeaderSize = 4 + 16 + 1;

// The provider id that marks one-off entry ids.
constexpr BYTE kOneOffUid[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                 0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
constexpr WORD kOneOffUnicode = 0x8000;
constexpr WORD kOneOffNoRichInfo = 0x0001;

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

void AppendUtf16(std::vector<BYTE>& bytes, std::u16string_view text) {
  for (char16_t c : text) {
    bytes.push_back(static_cast<BYTE>(c & 0xFF));
    bytes.push_back(static_cast<BYTE>(c >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
}

}  // namespace

std::vector<BYTE> MakeEntryId(EntryKind kind, const std::string& payload) {
  std::vector<BYTE> id;
  id.reserve(kHeaderSize + payload.size());
  id.assign(4, 0);
  id.insert(id.end(), std::begin(kProviderUid), std::end(kProviderUid));
  id.push_back(static_cast<BYTE>(kind));
  id.resize(kHeaderSize, 0);
  id.insert(id.end(), payload.begin(), payload.end());
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

std::vector<BYTE> MakeOneOffEntryId(std::u16string_view name, std::u16string_view addressType,
                                    std::u16string_view address, bool noRichInfo) {
  std::vector<BYTE> bytes(4 + sizeof kOneOffUid + 2, 0);  // flags, provider, version 0
  std::copy(std::begin(kOneOffUid), std::end(kOneOffUid), bytes.begin() + 4);
  const WORD flags = kOneOffUnicode | (noRichInfo ? kOneOffNoRichInfo : 0);
  bytes.push_back(static_cast<BYTE>(flags & 0xFF));
  bytes.push_back(static_cast<BYTE>(flags >> 8));
  AppendUtf16(bytes, name);
  AppendUtf16(bytes, addressType);
  AppendUtf16(bytes, address);
  return bytes;
}

bool ParseOneOffEntryId(const BYTE* bytes, std::size_t size, mailstore::Mailbox* mailbox) {
  if (!bytes || size < 24 || std::memcmp(bytes + 4, kOneOffUid, 16) != 0) return false;
  const WORD flags = static_cast<WORD>(bytes[22] | (bytes[23] << 8));
  const bool unicode = (flags & kOneOffUnicode) != 0;
  std::size_t pos = 24;
  std::u16string fields[3];
  for (auto& field : fields) {
    for (;;) {
      if (unicode) {
        if (pos + 1 >= size) return false;
        const char16_t c = static_cast<char16_t>(bytes[pos] | (bytes[pos + 1] << 8));
        pos += 2;
        if (!c) break;
        field += c;
      } else {
        if (pos >= size) return false;
        const char c = static_cast<char>(bytes[pos++]);
        if (!c) break;
        field += static_cast<char16_t>(static_cast<unsigned char>(c));
      }
    }
  }
  mailbox->name = fields[0];
  mailbox->addressType = fields[1];
  mailbox->address = fields[2];
  return true;
}

}  // namespace outlook_host

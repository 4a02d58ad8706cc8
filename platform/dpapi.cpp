#include "platform/dpapi.h"

#include <cstdlib>
#include <cstring>
#include <sodium.h>
#include <string>
#include <vector>

#include "platform/dpapi_key.h"

namespace {

using platform::dpapi::kKeySize;

constexpr unsigned char kMagic[4] = {'W', 'D', 'P', 'B'};
constexpr unsigned char kVersion = 1;
constexpr std::size_t kHeaderSize = sizeof kMagic + 1;
constexpr std::size_t kNonceSize = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr std::size_t kTagSize = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr std::size_t kPrefixSize = kHeaderSize + kNonceSize;
constexpr std::size_t kLengthSize = 4;

bool InitSodium() {
  static const bool ok = sodium_init() >= 0;
  return ok;
}

// The key, wiped when it goes out of scope.
struct UserKey {
  unsigned char bytes[kKeySize];
  ~UserKey() { sodium_memzero(bytes, sizeof bytes); }
};

// A plaintext buffer, wiped when it goes out of scope.
struct SecretBuffer {
  std::vector<unsigned char> bytes;
  ~SecretBuffer() {
    if (!bytes.empty()) sodium_memzero(bytes.data(), bytes.size());
  }
};

bool ValidBlob(const DATA_BLOB* b) { return b && (b->pbData || b->cbData == 0); }

std::vector<unsigned char> AssociatedData(const DATA_BLOB* entropy) {
  std::vector<unsigned char> ad(kMagic, kMagic + sizeof kMagic);
  ad.push_back(kVersion);
  if (entropy && entropy->cbData) ad.insert(ad.end(), entropy->pbData, entropy->pbData + entropy->cbData);
  return ad;
}

// Memory handed to the caller, freed with LocalFree.
BYTE* Allocate(std::size_t size) { return static_cast<BYTE*>(std::malloc(size ? size : 1)); }

BOOL Fail(DWORD err) {
  SetLastError(err);
  return FALSE;
}

}  // namespace

BOOL CryptProtectData(const DATA_BLOB* dataIn, LPCWSTR description, const DATA_BLOB* entropy, void*,
                      const CRYPTPROTECT_PROMPTSTRUCT*, DWORD, DATA_BLOB* dataOut) {
  if (!ValidBlob(dataIn) || !dataOut || (entropy && !ValidBlob(entropy))) return Fail(ERROR_INVALID_PARAMETER);
  dataOut->cbData = 0;
  dataOut->pbData = nullptr;
  if (!InitSodium()) return Fail(ERROR_INVALID_FUNCTION);
  const std::size_t descBytes = description ? std::char_traits<char16_t>::length(description) * 2 : 0;
  // The blob's size must fit its DWORD.
  if (descBytes + dataIn->cbData > 0xFFFFFFFFull - kPrefixSize - kTagSize - kLengthSize)
    return Fail(ERROR_INVALID_PARAMETER);

  SecretBuffer payload;
  payload.bytes.reserve(kLengthSize + descBytes + dataIn->cbData);
  for (int i = 0; i < 4; ++i) payload.bytes.push_back(static_cast<unsigned char>((descBytes >> (8 * i)) & 0xFF));
  for (std::size_t i = 0; i < descBytes / 2; ++i) {
    payload.bytes.push_back(static_cast<unsigned char>(description[i] & 0xFF));
    payload.bytes.push_back(static_cast<unsigned char>(description[i] >> 8));
  }
  if (dataIn->cbData) payload.bytes.insert(payload.bytes.end(), dataIn->pbData, dataIn->pbData + dataIn->cbData);

  UserKey key;
  if (const DWORD err = platform::dpapi::LoadUserKey(key.bytes, true)) return Fail(err);

  const std::size_t size = kPrefixSize + payload.bytes.size() + kTagSize;
  BYTE* out = Allocate(size);
  if (!out) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  std::memcpy(out, kMagic, sizeof kMagic);
  out[sizeof kMagic] = kVersion;
  randombytes_buf(out + kHeaderSize, kNonceSize);
  const std::vector<unsigned char> ad = AssociatedData(entropy);
  unsigned long long cipherLen = 0;
  crypto_aead_xchacha20poly1305_ietf_encrypt(out + kPrefixSize, &cipherLen, payload.bytes.data(),
                                             payload.bytes.size(), ad.data(), ad.size(), nullptr,
                                             out + kHeaderSize, key.bytes);
  dataOut->cbData = static_cast<DWORD>(kPrefixSize + cipherLen);
  dataOut->pbData = out;
  return TRUE;
}

BOOL CryptUnprotectData(const DATA_BLOB* dataIn, LPWSTR* description, const DATA_BLOB* entropy, void*,
                        const CRYPTPROTECT_PROMPTSTRUCT*, DWORD, DATA_BLOB* dataOut) {
  if (description) *description = nullptr;
  if (!ValidBlob(dataIn) || !dataOut || (entropy && !ValidBlob(entropy))) return Fail(ERROR_INVALID_PARAMETER);
  dataOut->cbData = 0;
  dataOut->pbData = nullptr;
  if (!InitSodium()) return Fail(ERROR_INVALID_FUNCTION);
  const BYTE* blob = dataIn->pbData;
  if (dataIn->cbData < kPrefixSize + kTagSize + kLengthSize || std::memcmp(blob, kMagic, sizeof kMagic) != 0 ||
      blob[sizeof kMagic] != kVersion)
    return Fail(ERROR_INVALID_DATA);

  UserKey key;
  if (const DWORD err = platform::dpapi::LoadUserKey(key.bytes, false)) return Fail(err);

  SecretBuffer payload;
  payload.bytes.resize(dataIn->cbData - kPrefixSize - kTagSize);
  const std::vector<unsigned char> ad = AssociatedData(entropy);
  unsigned long long plainLen = 0;
  if (crypto_aead_xchacha20poly1305_ietf_decrypt(payload.bytes.data(), &plainLen, nullptr, blob + kPrefixSize,
                                                 dataIn->cbData - kPrefixSize, ad.data(), ad.size(),
                                                 blob + kHeaderSize, key.bytes) != 0)
    return Fail(ERROR_INVALID_DATA);

  const unsigned char* p = payload.bytes.data();
  const std::size_t descBytes = static_cast<std::size_t>(p[0]) | (static_cast<std::size_t>(p[1]) << 8) |
                                (static_cast<std::size_t>(p[2]) << 16) | (static_cast<std::size_t>(p[3]) << 24);
  if (descBytes % 2 != 0 || descBytes > plainLen - kLengthSize) return Fail(ERROR_INVALID_DATA);
  const std::size_t dataSize = plainLen - kLengthSize - descBytes;

  BYTE* out = Allocate(dataSize);
  LPWSTR desc = nullptr;
  if (description) desc = static_cast<LPWSTR>(std::malloc(descBytes + sizeof(char16_t)));
  if (!out || (description && !desc)) {
    std::free(out);
    std::free(desc);
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (dataSize) std::memcpy(out, p + kLengthSize + descBytes, dataSize);
  if (desc) {
    for (std::size_t i = 0; i < descBytes / 2; ++i)
      desc[i] = static_cast<char16_t>(p[kLengthSize + 2 * i] | (p[kLengthSize + 2 * i + 1] << 8));
    desc[descBytes / 2] = u'\0';
    *description = desc;
  }
  dataOut->cbData = static_cast<DWORD>(dataSize);
  dataOut->pbData = out;
  return TRUE;
}

void* LocalFree(void* mem) {
  std::free(mem);
  return nullptr;
}

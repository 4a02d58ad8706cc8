// CryptProtectData / CryptUnprotectData for the add-in: authenticated
// encryption (libsodium) under a per-user 256-bit key kept in the config
// folder with mode 0600, created on first use. The optional entropy is bound
// as associated data, so the wrong entropy, another user's key or a damaged
// blob fails to open.
//
// Key file: "dpapi.key" in platform::ConfigFolder(), 32 random bytes, mode
// 0600. It is created on first protect, atomically (two processes racing
// end up with one key), and never replaced: a key file that cannot be read
// or has the wrong size makes every call fail rather than orphan the blobs
// made under it.
//
// Blob layout, version 1:
//   bytes 0-3   "WDPB"
//   byte  4     version (1)
//   bytes 5-28  XChaCha20-Poly1305 nonce (random)
//   bytes 29-   ciphertext with its 16-byte tag, of the payload:
//                 4 bytes  little-endian byte count of the description
//                 the description, UTF-16LE without NUL
//                 the protected data
// Associated data: bytes 0-4 followed by the entropy (if any).
// CryptUnprotectData hands the description back when asked for it.
// Flags and the prompt structure are accepted and ignored.
// Failures: ERROR_INVALID_PARAMETER (bad arguments), ERROR_INVALID_DATA
// (not a blob, damaged, another key, wrong entropy, or a bad key file),
// ERROR_ACCESS_DENIED / ERROR_CANTREAD / ERROR_CANTWRITE (key file).
#pragma once

#include "platform/win32.h"

struct DATA_BLOB {
  DWORD cbData;
  BYTE* pbData;
};

struct CRYPTPROTECT_PROMPTSTRUCT {
  DWORD cbSize;
  DWORD dwPromptFlags;
  void* hwndApp;
  LPCWSTR szPrompt;
};

// On success the output blob's memory is owned by the caller and is freed
// with LocalFree. On failure FALSE is returned and GetLastError tells why.
BOOL CryptProtectData(const DATA_BLOB* dataIn, LPCWSTR description, const DATA_BLOB* entropy, void* reserved,
                      const CRYPTPROTECT_PROMPTSTRUCT* prompt, DWORD flags, DATA_BLOB* dataOut);
BOOL CryptUnprotectData(const DATA_BLOB* dataIn, LPWSTR* description, const DATA_BLOB* entropy, void* reserved,
                        const CRYPTPROTECT_PROMPTSTRUCT* prompt, DWORD flags, DATA_BLOB* dataOut);
// Frees memory handed out by the calls above; returns null.
void* LocalFree(void* mem);

// The per-user data-protection key behind CryptProtectData: a key file in
// the config folder, made on first use and never replaced.
#pragma once

#include <cstddef>

#include "platform/win32.h"

namespace platform::dpapi {

constexpr std::size_t kKeySize = 32;

// Fills `key` with the user's key. With `create`, a missing key file is
// created first. Returns ERROR_SUCCESS or a Win32 error (logged).
DWORD LoadUserKey(unsigned char (&key)[kKeySize], bool create);

}  // namespace platform::dpapi

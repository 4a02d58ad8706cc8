// Small helpers the registry tests share.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/registry.h"
#include "tests/support/temp_profile.h"

namespace regtest {

// UTF-16LE bytes of `text`, with its NUL unless told otherwise.
inline std::string Utf16Bytes(std::u16string_view text, bool withNul = true) {
  std::string out;
  for (const char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  if (withNul) out.append(2, '\0');
  return out;
}

inline LONG Set(HKEY key, const char16_t* name, DWORD type, const std::string& bytes) {
  return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                        static_cast<DWORD>(bytes.size()));
}

inline LONG SetDword(HKEY key, const char16_t* name, DWORD v) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
}

// The value's bytes and type; ERROR_SUCCESS or the query's error in *err.
inline std::string Get(HKEY key, const char16_t* name, DWORD* type = nullptr, LONG* err = nullptr) {
  DWORD size = 0;
  DWORD t = 0;
  LONG e = RegQueryValueExW(key, name, nullptr, &t, nullptr, &size);
  std::string data(size, '\0');
  if (e == ERROR_SUCCESS)
    e = RegQueryValueExW(key, name, nullptr, &t, reinterpret_cast<BYTE*>(data.data()), &size);
  if (type) *type = t;
  if (err) *err = e;
  return e == ERROR_SUCCESS ? data : std::string();
}

inline HKEY Create(HKEY root, const char16_t* path) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            static_cast<LONG>(ERROR_SUCCESS));
  return key;
}

inline HKEY Open(HKEY root, const char16_t* path, REGSAM sam = KEY_READ) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(root, path, 0, sam, &key), static_cast<LONG>(ERROR_SUCCESS));
  return key;
}

inline std::string HivePath(const testing_support::TempProfile& profile) {
  return profile.configDir() + "/HKEY_CURRENT_USER.reg";
}

// Writes `text` as the hive file, the way another process would (a new file
// renamed into place).
inline void ReplaceHive(const testing_support::TempProfile& profile, const std::string& text) {
  const std::string tmp = HivePath(profile) + ".other";
  testing_support::WriteFile(tmp, text);
  ASSERT_EQ(std::rename(tmp.c_str(), HivePath(profile).c_str()), 0);
}

}  // namespace regtest

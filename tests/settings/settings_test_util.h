// Small registry helpers for the settings tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/registry.h"

namespace settings_test {

inline constexpr char16_t kOptionsPath[] = u"Software\\Nevlora.com\\Wrenvia\\Options";
inline constexpr char16_t kAccountPath[] = u"Software\\Nevlora.com\\Wrenvia\\Options\\Account";

inline HKEY CreateKey(const std::u16string& path) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
  return key;
}

inline void PutDword(const std::u16string& path, const char16_t* name, DWORD v) {
  HKEY key = CreateKey(path);
  EXPECT_EQ(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v), 0);
  RegCloseKey(key);
}

inline void PutString(const std::u16string& path, const char16_t* name, const std::u16string& s) {
  HKEY key = CreateKey(path);
  EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(s.c_str()),
                           static_cast<DWORD>((s.size() + 1) * 2)),
            0);
  RegCloseKey(key);
}

inline bool KeyExists(const std::u16string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != 0) return false;
  RegCloseKey(key);
  return true;
}

inline LONG GetDword(const std::u16string& path, const char16_t* name, DWORD* v) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
  if (rc != 0) return rc;
  DWORD size = sizeof *v;
  rc = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(v), &size);
  RegCloseKey(key);
  return rc;
}

}  // namespace settings_test

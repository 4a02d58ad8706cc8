// The Win32 behaviour of the registry calls: sizes and error codes, names
// without case, enumeration, deletion, handles.
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "tests/platform/registry_test_util.h"
#include "tests/support/temp_profile.h"

namespace {

using namespace regtest;

constexpr LONG kOk = ERROR_SUCCESS;

TEST(RegistryApi, QueryReportsSizeAndAsksForMoreData) {
  testing_support::TempProfile profile;
  HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Nevlora.com\\Wrenvia\\Options\\Account");
  const std::u16string longText(150, u'x');
  ASSERT_EQ(Set(key, u"NewMessageSound", REG_SZ, Utf16Bytes(longText)), kOk);
  ASSERT_EQ(Set(key, u"PollFrequency", REG_SZ, Utf16Bytes(u"12345")), kOk);

  // A 200-byte buffer is too small for 151 units: the size needed comes back.
  BYTE buf[200];
  DWORD size = sizeof buf, type = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"NewMessageSound", nullptr, &type, buf, &size), static_cast<LONG>(ERROR_MORE_DATA));
  EXPECT_EQ(size, 302u);
  EXPECT_EQ(type, REG_SZ);
  std::string big(size, '\0');
  EXPECT_EQ(RegQueryValueExW(key, u"NewMessageSound", nullptr, &type, reinterpret_cast<BYTE*>(big.data()), &size), kOk);
  EXPECT_EQ(big, Utf16Bytes(longText));

  // A number stored as text does not fit a DWORD.
  DWORD number = 0;
  size = sizeof number;
  EXPECT_EQ(RegQueryValueExW(key, u"PollFrequency", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size),
            static_cast<LONG>(ERROR_MORE_DATA));
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(type, REG_SZ);

  // No buffer: size and type only. A reserved pointer or a buffer without a
  // size is a bad call.
  size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"PollFrequency", nullptr, &type, nullptr, &size), kOk);
  EXPECT_EQ(size, 12u);
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"PollFrequency", &reserved, &type, nullptr, &size),
            static_cast<LONG>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(RegQueryValueExW(key, u"PollFrequency", nullptr, &type, buf, nullptr),
            static_cast<LONG>(ERROR_INVALID_PARAMETER));

  // A flag of 7 comes back as stored, also from the file.
  ASSERT_EQ(SetDword(key, u"PollForNewTweets", 7), kOk);
  EXPECT_EQ(RegCloseKey(key), kOk);
  platform::ResetRegistryForTests();
  key = Open(HKEY_CURRENT_USER, u"Software\\Nevlora.com\\Wrenvia\\Options\\Account");
  number = 0;
  size = sizeof number;
  EXPECT_EQ(RegQueryValueExW(key, u"PollForNewTweets", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size), kOk);
  EXPECT_EQ(number, 7u);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(Get(key, u"NewMessageSound"), Utf16Bytes(longText));
  RegCloseKey(key);
}

TEST(RegistryApi, MissingThingsAndBadHandles) {
  testing_support::TempProfile profile;
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Missing", 0, KEY_READ, &key),
            static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software", 0, KEY_READ, nullptr),
            static_cast<LONG>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"a\\\\b", 0, KEY_READ, &key), static_cast<LONG>(ERROR_INVALID_PARAMETER));

  key = Create(HKEY_CURRENT_USER, u"Software\\Present\\");  // a trailing separator is accepted
  LONG err = kOk;
  Get(key, u"Nothing", nullptr, &err);
  EXPECT_EQ(err, static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegDeleteValueW(key, u"Nothing"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegDeleteKeyW(key, u"Nothing"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegDeleteTreeW(key, u"Nothing"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));

  // Closed, never-issued and unsupported handles are refused, never crash.
  EXPECT_EQ(RegCloseKey(key), kOk);
  EXPECT_EQ(RegCloseKey(key), static_cast<LONG>(ERROR_INVALID_HANDLE));
  Get(key, u"x", nullptr, &err);
  EXPECT_EQ(err, static_cast<LONG>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(SetDword(key, u"x", 1), static_cast<LONG>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(0x1234)), static_cast<LONG>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(RegCloseKey(nullptr), static_cast<LONG>(ERROR_INVALID_HANDLE));
  const HKEY localMachine = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u));
  EXPECT_EQ(RegOpenKeyExW(localMachine, u"Software", 0, KEY_READ, &key), static_cast<LONG>(ERROR_INVALID_HANDLE));
}

TEST(RegistryApi, NamesIgnoreCaseAndKeepTheirSpelling) {
  testing_support::TempProfile profile;
  DWORD disposition = 0;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Nevlora.com\\Wrenvia", 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, &disposition),
            kOk);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(SetDword(key, u"PollFrequency", 5), kOk);
  ASSERT_EQ(SetDword(key, u"POLLFREQUENCY", 9), kOk);  // the same value
  EXPECT_EQ(RegCloseKey(key), kOk);

  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\nevlora.COM\\wrenvia", 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, &disposition),
            kOk);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(key);

  key = Open(HKEY_CURRENT_USER, u"software\\NEVLORA.com\\WRENVIA");
  EXPECT_EQ(Get(key, u"pollfrequency"), std::string("\x09\0\0\0", 4));
  WCHAR name[64];
  DWORD cch = 64;
  EXPECT_EQ(RegEnumValueW(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), kOk);
  EXPECT_EQ(std::u16string(name, cch), u"PollFrequency");
  cch = 64;
  EXPECT_EQ(RegEnumValueW(key, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), static_cast<LONG>(ERROR_NO_MORE_ITEMS));
  RegCloseKey(key);

  const std::string file = testing_support::ReadFile(HivePath(profile));
  EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Nevlora.com\\Wrenvia]\n\"PollFrequency\"=dword:00000009\n"),
            std::string::npos)
      << file;
}

TEST(RegistryApi, EnumerationKeepsCreationOrder) {
  testing_support::TempProfile profile;
  HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Order");
  for (const char16_t* sub : {u"beta", u"Alpha", u"gamma"}) RegCloseKey(Create(key, sub));
  ASSERT_EQ(Set(key, u"z", REG_SZ, Utf16Bytes(u"last letter")), kOk);
  ASSERT_EQ(Set(key, nullptr, REG_SZ, Utf16Bytes(u"default")), kOk);
  ASSERT_EQ(Set(key, u"a", REG_BINARY, "\x01\x02"), kOk);
  RegCloseKey(key);
  platform::ResetRegistryForTests();  // the same order comes back from the file

  key = Open(HKEY_CURRENT_USER, u"Software\\Order");
  WCHAR name[16];
  DWORD cch;
  std::u16string keys;
  for (DWORD i = 0;; ++i) {
    cch = 16;
    const LONG err = RegEnumKeyExW(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
    if (err == static_cast<LONG>(ERROR_NO_MORE_ITEMS)) break;
    ASSERT_EQ(err, kOk);
    keys += std::u16string(name, cch) + u",";
  }
  EXPECT_EQ(keys, u"beta,Alpha,gamma,");
  cch = 5;  // "Alpha" needs 6 with its NUL
  EXPECT_EQ(RegEnumKeyExW(key, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), static_cast<LONG>(ERROR_MORE_DATA));

  // Values: default first by creation, data buffer rules as for queries.
  BYTE data[4];
  DWORD size = sizeof data, type = 0;
  cch = 16;
  EXPECT_EQ(RegEnumValueW(key, 1, name, &cch, nullptr, &type, data, &size), static_cast<LONG>(ERROR_MORE_DATA));
  EXPECT_EQ(cch, 0u);  // the default value has the empty name
  EXPECT_EQ(size, 16u);
  cch = 16;
  size = sizeof data;
  EXPECT_EQ(RegEnumValueW(key, 2, name, &cch, nullptr, &type, data, &size), kOk);
  EXPECT_EQ(std::u16string(name, cch), u"a");
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(size, 2u);
  cch = 1;
  EXPECT_EQ(RegEnumValueW(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), static_cast<LONG>(ERROR_MORE_DATA));
  cch = 16;
  EXPECT_EQ(RegEnumValueW(key, 3, name, &cch, nullptr, nullptr, nullptr, nullptr), static_cast<LONG>(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(Get(key, u""), Utf16Bytes(u"default"));
  RegCloseKey(key);
}

TEST(RegistryApi, DeletingKeysAndTrees) {
  testing_support::TempProfile profile;
  HKEY parent = Create(HKEY_CURRENT_USER, u"Software\\Nevlora.com\\Plumora");
  HKEY deep = Create(parent, u"Options\\Account\\Searches\\0");
  ASSERT_EQ(SetDword(deep, u"SLID", 1), kOk);
  HKEY options = Open(parent, u"Options", KEY_READ);

  // Windows refuses to delete a key that has subkeys, or a root.
  EXPECT_EQ(RegDeleteKeyW(parent, u"Options"), static_cast<LONG>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u""), static_cast<LONG>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegDeleteKeyW(parent, u"Options\\Account\\Searches\\0"), kOk);
  LONG err;
  Get(deep, u"SLID", nullptr, &err);
  EXPECT_EQ(err, static_cast<LONG>(ERROR_KEY_DELETED));
  EXPECT_EQ(SetDword(deep, u"SLID", 1), static_cast<LONG>(ERROR_KEY_DELETED));
  EXPECT_EQ(RegCloseKey(deep), kOk);

  EXPECT_EQ(RegDeleteTreeW(parent, u"OPTIONS"), kOk);
  WCHAR name[16];
  DWORD cch = 16;
  EXPECT_EQ(RegEnumKeyExW(options, 0, name, &cch, nullptr, nullptr, nullptr, nullptr),
            static_cast<LONG>(ERROR_KEY_DELETED));
  RegCloseKey(options);
  EXPECT_EQ(RegCloseKey(parent), kOk);
  HKEY gone = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Nevlora.com\\Plumora\\Options", 0, KEY_READ, &gone),
            static_cast<LONG>(ERROR_FILE_NOT_FOUND));

  // A null subkey empties the key itself but keeps it.
  HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Keep");
  RegCloseKey(Create(key, u"Child"));
  ASSERT_EQ(SetDword(key, u"v", 1), kOk);
  EXPECT_EQ(RegDeleteTreeW(key, nullptr), kOk);
  EXPECT_EQ(RegCloseKey(key), kOk);
  platform::ResetRegistryForTests();
  key = Open(HKEY_CURRENT_USER, u"Software\\Keep");
  cch = 16;
  EXPECT_EQ(RegEnumKeyExW(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), static_cast<LONG>(ERROR_NO_MORE_ITEMS));
  cch = 16;
  EXPECT_EQ(RegEnumValueW(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), static_cast<LONG>(ERROR_NO_MORE_ITEMS));
  RegCloseKey(key);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Nevlora.com\\Plumora\\Options", 0, KEY_READ, &gone),
            static_cast<LONG>(ERROR_FILE_NOT_FOUND));
}

TEST(RegistryApi, ReadOnlyHandlesCannotWrite) {
  testing_support::TempProfile profile;
  RegCloseKey(Create(HKEY_CURRENT_USER, u"Software\\RO"));
  HKEY key = Open(HKEY_CURRENT_USER, u"Software\\RO", KEY_READ);
  EXPECT_EQ(SetDword(key, u"v", 1), static_cast<LONG>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegDeleteValueW(key, u"v"), static_cast<LONG>(ERROR_ACCESS_DENIED));
  HKEY sub = nullptr;
  EXPECT_EQ(RegCreateKeyExW(key, u"Sub", 0, nullptr, 0, KEY_WRITE, nullptr, &sub, nullptr),
            static_cast<LONG>(ERROR_ACCESS_DENIED));
  RegCloseKey(key);
}

}  // namespace

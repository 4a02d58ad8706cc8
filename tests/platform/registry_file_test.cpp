// The hive files: exact round trip of any data, the text format, damaged
// files, failed writes, and changes made by other processes.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

#include "platform/reg_format.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/platform/registry_test_util.h"
#include "tests/support/temp_profile.h"

namespace {

using namespace regtest;

constexpr LONG kOk = ERROR_SUCCESS;

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    ::closedir(d);
  }
  return names;
}

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 0777;
}

struct Sample {
  const char16_t* name;
  DWORD type;
  std::string data;
};

TEST(RegistryFile, OddDataComesBackByteForByte) {
  testing_support::TempProfile profile;
  std::string allBytes;
  for (int i = 0; i < 256; ++i) allBytes.push_back(static_cast<char>(i));
  const std::vector<Sample> samples = {
      {u"NoNul", REG_SZ, Utf16Bytes(u"abc", false)},
      {u"OddLength", REG_SZ, std::string("a\0b", 3)},
      {u"EmbeddedNul", REG_SZ, Utf16Bytes(std::u16string(u"a\0b", 3))},
      {u"Quotes \"and\" \\slashes\\", REG_SZ, Utf16Bytes(u"say \"hi\" to C:\\dir\\")},
      {u"Lines", REG_SZ, Utf16Bytes(u"one\r\ntwo\nthree")},
      {u"NonAscii \u00e9", REG_SZ, Utf16Bytes(u"caf\u00e9 \u65e5\u672c \U0001F600")},
      {u"LoneSurrogate", REG_SZ, Utf16Bytes(std::u16string(1, u'\xD800'))},
      {u"Empty", REG_SZ, std::string()},
      {u"Binary", REG_BINARY, allBytes},
      {u"ShortDword", REG_DWORD, std::string("\x01\x02\x03", 3)},
      {u"Qword", REG_QWORD, std::string("\x01\0\0\0\0\0\0\x80", 8)},
      {u"Multi", REG_MULTI_SZ, Utf16Bytes(std::u16string(u"a\0b\0", 4))},
      {u"Expand", REG_EXPAND_SZ, Utf16Bytes(u"%HOME%\\x")},
      {u"OddType", 0x12345, "x"},
      {u"", REG_SZ, Utf16Bytes(u"@ default")},
  };
  HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Odd [brackets] ; and spaces \u00e9");
  for (const auto& s : samples) ASSERT_EQ(Set(key, s.name, s.type, s.data), kOk);
  ASSERT_EQ(RegCloseKey(key), kOk);

  platform::ResetRegistryForTests();
  key = Open(HKEY_CURRENT_USER, u"Software\\Odd [brackets] ; and spaces \u00e9");
  for (const auto& s : samples) {
    DWORD type = 0;
    LONG err = 0;
    EXPECT_EQ(Get(key, s.name, &type, &err), s.data) << Utf16ToUtf8(s.name);
    EXPECT_EQ(err, kOk);
    EXPECT_EQ(type, s.type);
  }
  RegCloseKey(key);

  // Clean strings stay readable; the file is UTF-8 and private.
  const std::string file = testing_support::ReadFile(HivePath(profile));
  EXPECT_EQ(file.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
  EXPECT_NE(file.find("\"Quotes \\\"and\\\" \\\\slashes\\\\\"=\"say \\\"hi\\\" to C:\\\\dir\\\\\"\n"), std::string::npos);
  EXPECT_NE(file.find("\"NonAscii \xC3\xA9\"=\"caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\"\n"), std::string::npos);
  EXPECT_NE(file.find("\"NoNul\"=hex(1):61,00,62,00,63,00\n"), std::string::npos);
  EXPECT_NE(file.find("@=\"@ default\"\n"), std::string::npos);
  EXPECT_EQ(ModeOf(HivePath(profile)), 0600u);
  EXPECT_EQ(ModeOf(profile.configDir()), 0700u);
}

TEST(RegistryFile, ReadsWhatHandsAndWindowsWrite) {
  using platform::reg::Key;
  using platform::reg::ParseRegText;
  const std::string text =
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
      "; a comment\r\n"
      "[HKEY_CURRENT_USER\\Software\\B\\Deep]\r\n"
      "\"Bin\"=hex:01,02,\\\r\n"
      "  03\r\n"
      "\"Num\"=DWORD:A\r\n"
      "[hkey_current_user\\software\\b]\r\n"
      "@=\"root\"\r\n"
      "\"Gone\"=\"x\"\r\n"
      "\"Gone\"=-\r\n"
      "[HKEY_CURRENT_USER\\Software\\Dropped]\r\n"
      "[-HKEY_CURRENT_USER\\Software\\Dropped]\r\n";
  Key root(u"HKEY_CURRENT_USER");
  std::string error;
  ASSERT_TRUE(ParseRegText(text, &root, &error)) << error;
  Key* b = platform::reg::FindKey(&root, {u"SOFTWARE", u"b"});
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->name(), u"B");
  ASSERT_NE(b->FindValue(u""), nullptr);
  EXPECT_EQ(b->FindValue(u""), b->values()[0].get());
  EXPECT_EQ(b->FindValue(u"Gone"), nullptr);
  EXPECT_EQ(b->FindSubkey(u"deep")->FindValue(u"Bin")->data, "\x01\x02\x03");
  EXPECT_EQ(b->FindSubkey(u"deep")->FindValue(u"Num")->data, std::string("\x0a\0\0\0", 4));
  EXPECT_EQ(root.FindSubkey(u"Software")->FindSubkey(u"Dropped"), nullptr);

  // What regedit on Windows exports: UTF-16LE with a byte order mark.
  const std::u16string wide = u"Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\W]\r\n\"v\"=\"\u00e9\"\r\n";
  Key fromWide(u"HKEY_CURRENT_USER");
  ASSERT_TRUE(ParseRegText("\xFF\xFE" + Utf16Bytes(wide, false), &fromWide, &error)) << error;
  EXPECT_EQ(fromWide.FindSubkey(u"W")->FindValue(u"v")->data, Utf16Bytes(u"\u00e9"));

  // Damaged or hostile text is refused, never half-trusted.
  const char* const bad[] = {
      "",
      "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n",
      "Windows Registry Editor Version 5.00\n\"v\"=\"outside a key\"\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A\\\\B]\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"unterminated\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,zz\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,\\\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:123456789\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex(123456789):00\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"x\" trailing\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"a\tb\"=\"control character\"\n",
      "Windows Registry Editor Version 5.00\n[-HKEY_CURRENT_USER]\n",
      "\xFF\xFEW",
  };
  for (const char* t : bad) {
    Key r(u"HKEY_CURRENT_USER");
    EXPECT_FALSE(ParseRegText(t, &r, &error)) << t;
  }
  std::string tooDeep = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER";
  for (int i = 0; i < 600; ++i) tooDeep += "\\k";
  Key r(u"HKEY_CURRENT_USER");
  EXPECT_FALSE(ParseRegText(tooDeep + "]\n", &r, &error));
}

TEST(RegistryFile, DamagedHiveIsMovedAsideAndStartsEmpty) {
  testing_support::TempProfile profile;
  RegCloseKey(Create(HKEY_CURRENT_USER, u"Software\\Before"));
  const std::string garbage = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:zz\n";
  ReplaceHive(profile, garbage);

  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Before", 0, KEY_READ, &key),
            static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  std::string aside;
  for (const auto& f : FilesIn(profile.configDir()))
    if (f.rfind("HKEY_CURRENT_USER.reg.corrupt-", 0) == 0) aside = f;
  ASSERT_FALSE(aside.empty());
  EXPECT_EQ(testing_support::ReadFile(profile.configDir() + "/" + aside), garbage);
  EXPECT_FALSE(testing_support::FileExists(HivePath(profile)));

  key = Create(HKEY_CURRENT_USER, u"Software\\After");
  ASSERT_EQ(SetDword(key, u"v", 1), kOk);
  ASSERT_EQ(RegCloseKey(key), kOk);
  platform::ResetRegistryForTests();
  key = Open(HKEY_CURRENT_USER, u"Software\\After");
  EXPECT_EQ(Get(key, u"v"), std::string("\x01\0\0\0", 4));
  RegCloseKey(key);
}

TEST(RegistryFile, FailedWriteLeavesTheOldHiveAndKeepsChangesPending) {
  testing_support::TempProfile profile;
  HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Durable");
  ASSERT_EQ(SetDword(key, u"A", 1), kOk);
  ASSERT_EQ(RegCloseKey(key), kOk);
  const std::string before = testing_support::ReadFile(HivePath(profile));

  // What a writer that crashed before its rename leaves behind.
  testing_support::WriteFile(HivePath(profile) + ".tmpCRASH1", "half a hive");
  platform::testing::SetRegistryWriteFailpoint(1);
  key = Open(HKEY_CURRENT_USER, u"Software\\Durable", KEY_ALL_ACCESS);
  ASSERT_EQ(SetDword(key, u"A", 2), kOk);
  ASSERT_EQ(SetDword(key, u"B", 3), kOk);
  EXPECT_EQ(RegCloseKey(key), static_cast<LONG>(ERROR_CANTWRITE));
  EXPECT_EQ(testing_support::ReadFile(HivePath(profile)), before);
  for (const auto& f : FilesIn(profile.configDir())) EXPECT_EQ(f.find(".tmp"), std::string::npos) << f;

  // Still visible here, and written by the next flush.
  key = Open(HKEY_CURRENT_USER, u"Software\\Durable");
  EXPECT_EQ(Get(key, u"A"), std::string("\x02\0\0\0", 4));
  EXPECT_EQ(RegFlushKey(key), kOk);
  RegCloseKey(key);
  platform::ResetRegistryForTests();
  key = Open(HKEY_CURRENT_USER, u"Software\\Durable");
  EXPECT_EQ(Get(key, u"B"), std::string("\x03\0\0\0", 4));
  RegCloseKey(key);

  // A write straight through the root is durable at once, so it reports the failure itself.
  platform::testing::SetRegistryWriteFailpoint(1);
  EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, u"Software\\Durable"), static_cast<LONG>(ERROR_CANTWRITE));
  EXPECT_NE(testing_support::ReadFile(HivePath(profile)).find("Durable"), std::string::npos);
  EXPECT_EQ(RegFlushKey(HKEY_CURRENT_USER), kOk);
  EXPECT_EQ(testing_support::ReadFile(HivePath(profile)).find("Durable"), std::string::npos);
}

TEST(RegistryFile, OtherWritersChangesAreSeenAndKept) {
  testing_support::TempProfile profile;
  HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Shared");
  ASSERT_EQ(SetDword(key, u"Mine", 1), kOk);
  ASSERT_EQ(SetDword(key, u"Theirs", 1), kOk);
  ASSERT_EQ(RegCloseKey(key), kOk);

  // Another process rewrites the hive: reads see it at once.
  ReplaceHive(profile,
              "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Shared]\n"
              "\"Mine\"=dword:00000001\n\"Theirs\"=dword:00000002\n\"Added\"=\"x\"\n");
  key = Open(HKEY_CURRENT_USER, u"Software\\Shared", KEY_ALL_ACCESS);
  EXPECT_EQ(Get(key, u"Theirs"), std::string("\x02\0\0\0", 4));

  // While our change is pending, they write again; our read shows both,
  // and our write keeps theirs.
  ASSERT_EQ(SetDword(key, u"Mine", 7), kOk);
  ReplaceHive(profile,
              "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Shared]\n"
              "\"Mine\"=dword:00000001\n\"Theirs\"=dword:00000003\n");
  EXPECT_EQ(Get(key, u"Mine"), std::string("\x07\0\0\0", 4));
  EXPECT_EQ(Get(key, u"Theirs"), std::string("\x03\0\0\0", 4));
  LONG err;
  Get(key, u"Added", nullptr, &err);
  EXPECT_EQ(err, static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  ASSERT_EQ(RegCloseKey(key), kOk);
  const std::string file = testing_support::ReadFile(HivePath(profile));
  EXPECT_NE(file.find("\"Mine\"=dword:00000007"), std::string::npos) << file;
  EXPECT_NE(file.find("\"Theirs\"=dword:00000003"), std::string::npos) << file;

  // Their deleting our key shows as a deleted key on our open handle.
  key = Open(HKEY_CURRENT_USER, u"Software\\Shared");
  ReplaceHive(profile, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n");
  Get(key, u"Mine", nullptr, &err);
  EXPECT_EQ(err, static_cast<LONG>(ERROR_KEY_DELETED));
  RegCloseKey(key);
}

}  // namespace

namespace {

TEST(RegistryFile, NestedKeysWrittenTogetherReachTheDiskAtTheLastClose) {
  testing_support::TempProfile profile;
  const std::string hive = profile.configDir() + "/HKEY_CURRENT_USER.reg";
  HKEY parent = Create(HKEY_CURRENT_USER, u"Software\\Nest");
  ASSERT_EQ(SetDword(parent, u"Outer", 1), kOk);
  HKEY child = Create(parent, u"Child");
  ASSERT_EQ(SetDword(child, u"Inner", 2), kOk);
  ASSERT_EQ(RegCloseKey(child), kOk);
  // The parent that also wrote is still open: nothing is on disk yet, but
  // this process reads its own changes.
  EXPECT_EQ(testing_support::ReadFile(hive).find("Inner"), std::string::npos);
  HKEY check = Open(HKEY_CURRENT_USER, u"Software\\Nest\\Child");
  EXPECT_EQ(Get(check, u"Inner"), std::string("\x02\0\0\0", 4));
  RegCloseKey(check);
  ASSERT_EQ(RegCloseKey(parent), kOk);
  const std::string text = testing_support::ReadFile(hive);
  EXPECT_NE(text.find("\"Inner\"=dword:00000002"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Outer\"=dword:00000001"), std::string::npos);
}

}  // namespace

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "diag/data_folder.h"
#include "diag/logging.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_profile.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempProfile;

void SetDebugLog(DWORD value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Nevlora.com\\Wrenvia\\Options", 0, nullptr, 0, KEY_WRITE,
                            nullptr, &key, nullptr),
            0);
  ASSERT_EQ(RegSetValueExW(key, u"DebugLog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value), 0);
  RegCloseKey(key);
}

std::string LogText() { return ReadFile(Utf16ToUtf8(LogFilePath())); }

TEST(DataFolder, LivesUnderTheLocalDataFolderAndFallsBackToDriveRoot) {
  TempProfile profile;
  EXPECT_EQ(Utf16ToUtf8(GetDataFolder()), profile.dataDir() + "/Nevlora/Wrenvia");
  // The data folder itself is not created, only its parent.
  EXPECT_TRUE(testing_support::FileExists(profile.dataDir()));
  EXPECT_FALSE(testing_support::FileExists(profile.dataDir() + "/Nevlora"));

  // Without HOME (services, cron) the account's own home folder serves.
  {
    testing_support::ScopedEnv noHome("HOME", nullptr);
    testing_support::ScopedEnv noData("XDG_DATA_HOME", nullptr);
    const std::string expected = platform::HomeFolder() + "/.local/share/Nevlora/Wrenvia";
    if (!platform::HomeFolder().empty()) {
      EXPECT_EQ(Utf16ToUtf8(GetDataFolder()), expected);
    }
  }
  // A folder too long for the path buffer is the same as none, not a cut one.
  testing_support::ScopedEnv longData("XDG_DATA_HOME", ("/" + std::string(300, 'x')).c_str());
  EXPECT_EQ(GetDataFolder(), u"c:\\");
}

TEST(DataFolder, CreateFolderChainKeepsLevelsBeforeTheLastSeparator) {
  TempProfile profile;
  const std::u16string base = Utf8ToUtf16(profile.root());
  // A trailing separator keeps every level; either separator works.
  EXPECT_TRUE(CreateFolderChain(base + u"/a\\b/c/"));
  EXPECT_TRUE(testing_support::FileExists(profile.root() + "/a/b/c"));
  // A file path loses its file name.
  EXPECT_TRUE(CreateFolderChain(base + u"/x/y/file.txt"));
  EXPECT_TRUE(testing_support::FileExists(profile.root() + "/x/y"));
  EXPECT_FALSE(testing_support::FileExists(profile.root() + "/x/y/file.txt"));
  // An existing path is left alone.
  EXPECT_TRUE(CreateFolderChain(base + u"/x/y"));
}

TEST(Logging, DebugLinesOnlyWithDebugLogAndErrorsAlways) {
  TempProfile profile;
  InitLogging();
  LogCategory("tap").debug("gft: hidden %d", 1);
  LogCategory("tap").error("hr: ioa failed. le %lu %lx", 5ul, 5ul);
  std::string text = LogText();
  EXPECT_EQ(text.find("gft: hidden"), std::string::npos);
  // The category stands twice, as the layout names it twice.
  EXPECT_NE(text.find("[tap] ["), std::string::npos);
  EXPECT_NE(text.find("ERROR tap  - hr: ioa failed. le 5 5"), std::string::npos) << text;

  SetDebugLog(1);
  InitLogging();
  LogCategory("twr").debug("cnm: shown");
  EXPECT_NE(LogText().find("DEBUG twr  - cnm: shown"), std::string::npos);

  SetDebugLog(0);
  InitLogging();
  LogCategory("twr").debug("cnm: hidden again");
  EXPECT_EQ(LogText().find("cnm: hidden again"), std::string::npos);
}

TEST(Logging, LogFileIsPrivateAndItsFolderComesBack) {
  TempProfile profile;
  InitLogging();
  LogCategory("sql").error("tre: se: 1 x. lastop: 100");
  const std::string path = Utf16ToUtf8(LogFilePath());
  struct stat st{};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  testing_support::RemoveTree(Utf16ToUtf8(GetDataFolder()) + "/Logs");
  InitLogging();
  LogCategory("sql").error("tre: after restart");
  EXPECT_NE(LogText().find("tre: after restart"), std::string::npos);
}

}  // namespace

#include <gtest/gtest.h>

#include "settings/account.h"
#include "settings/migrate.h"
#include "settings/options.h"
#include "settings_test_util.h"
#include "tests/support/temp_profile.h"

namespace {

using namespace settings_test;
using testing_support::TempProfile;

constexpr char16_t kOldOptions[] = u"Software\\Nevlora.com\\Plumora\\Options";
constexpr char16_t kOldAccount[] = u"Software\\Nevlora.com\\Plumora\\Options\\Account";

void WriteOldTree(bool complete) {
  CPLOpts oldOptions(HKEY_CURRENT_USER, kOldOptions);
  oldOptions.TRI = 4;
  oldOptions.DisplayTicker = false;
  ASSERT_EQ(oldOptions.Save(), 0);
  CTwitterAccount oldAccount(HKEY_CURRENT_USER, kOldAccount);
  oldAccount.User = u"olduser";
  oldAccount.SetPassword(u"pw");
  oldAccount.PollFrequency = 15;
  CSearchOpts s;
  s.SearchString = u"old search";
  s.LastMsgId = u"77";
  oldAccount.Searches.Append(s);
  ASSERT_EQ(oldAccount.Save(), 0);
  if (!complete) {
    // An older version never wrote this option.
    HKEY key = CreateKey(kOldOptions);
    ASSERT_EQ(RegDeleteValueW(key, u"ShowFullSenderName"), 0);
    RegCloseKey(key);
  }
}

void ExpectMigrated(const std::u16string& oldPasswordText) {
  CPLOpts options;
  options.Load();
  EXPECT_EQ(options.TRI, 4);
  EXPECT_FALSE(options.DisplayTicker);
  CTwitterAccount account;
  account.Load();
  EXPECT_EQ(account.User, u"olduser");
  EXPECT_EQ(account.PollFrequency, 15);
  EXPECT_EQ(account.Password, oldPasswordText);  // copied still protected
  EXPECT_EQ(account.GetPassword(), u"pw");
  ASSERT_EQ(account.Searches.Count(), 1u);
  EXPECT_EQ(account.Searches.At(0).SearchString, u"old search");
  EXPECT_EQ(account.Searches.At(0).LastMsgId, u"77");
  EXPECT_FALSE(KeyExists(u"Software\\Nevlora.com\\Plumora"));
  EXPECT_TRUE(KeyExists(u"Software\\Nevlora.com"));
}

TEST(Migration, CopiesACompleteOldTreeAndRemovesIt) {
  TempProfile profile;
  WriteOldTree(true);
  CTwitterAccount old(HKEY_CURRENT_USER, kOldAccount);
  old.Load();
  // Whatever the new keys held is overwritten.
  PutDword(kAccountPath, u"PollFrequency", 42);

  MigrateOldSettings();
  ExpectMigrated(old.Password);

  // A second start finds nothing to do and changes nothing.
  PutDword(kAccountPath, u"PollFrequency", 9);
  MigrateOldSettings();
  DWORD v = 0;
  ASSERT_EQ(GetDword(kAccountPath, u"PollFrequency", &v), 0);
  EXPECT_EQ(v, 9u);
}

TEST(Migration, AnOldTreeMissingALaterOptionIsStillCopied) {
  TempProfile profile;
  WriteOldTree(false);
  CTwitterAccount old(HKEY_CURRENT_USER, kOldAccount);
  old.Load();
  MigrateOldSettings();
  ExpectMigrated(old.Password);
}

TEST(Migration, WithoutAnOldTreeNothingIsReadWrittenOrDeleted) {
  TempProfile profile;
  PutDword(kOptionsPath, u"TRI", 2);
  MigrateOldSettings();
  DWORD v = 0;
  ASSERT_EQ(GetDword(kOptionsPath, u"TRI", &v), 0);
  EXPECT_EQ(v, 2u);
  EXPECT_EQ(GetDword(kOptionsPath, u"DisplayTicker", &v), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(KeyExists(kAccountPath));
}

}  // namespace

namespace {

TEST(Migration, AFailedCopyKeepsTheOldTreeAndARetryCopiesOnlyWhatIsLeft) {
  TempProfile profile;
  WriteOldTree(true);
  // The options copy fails to reach the disk; the account copy succeeds.
  platform::testing::SetRegistryWriteFailpoint(1);
  MigrateOldSettings();
  EXPECT_TRUE(KeyExists(u"Software\\Nevlora.com\\Plumora"));

  // The account moves on before the next start.
  {
    CTwitterAccount account;
    account.Load();
    ASSERT_EQ(account.User, u"olduser");
    account.FriendsLastMsgId = u"999";
    ASSERT_EQ(account.Save(), 0);
  }
  MigrateOldSettings();
  CTwitterAccount account;
  account.Load();
  EXPECT_EQ(account.FriendsLastMsgId, u"999");  // not copied over again
  CPLOpts options;
  options.Load();
  EXPECT_EQ(options.TRI, 4);
  EXPECT_FALSE(KeyExists(u"Software\\Nevlora.com\\Plumora"));
}

}  // namespace

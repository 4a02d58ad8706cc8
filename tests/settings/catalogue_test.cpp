#include <gtest/gtest.h>

#include "settings/account.h"
#include "settings/options.h"
#include "settings_test_util.h"
#include "tests/support/temp_profile.h"

namespace {

using namespace settings_test;
using testing_support::TempProfile;

TEST(SettingsCatalogue, FirstRunHasEveryDefaultAndReportsTheMissingKey) {
  TempProfile profile;
  CPLOpts options;
  CTwitterAccount account;
  account.User = u"changed";
  EXPECT_EQ(options.Load(), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(account.Load(), static_cast<LONG>(ERROR_FILE_NOT_FOUND));

  EXPECT_EQ(options.TRI, 0);
  EXPECT_EQ(options.TBMessageFieldWidth, 0);
  EXPECT_TRUE(options.ExitWorkaround);
  EXPECT_FALSE(options.DisplayInputField);
  EXPECT_TRUE(options.DisplayPostButtons);
  EXPECT_TRUE(options.DisplayTicker);
  EXPECT_EQ(options.HKNewTweet, 0);
  EXPECT_FALSE(options.ShowFullSenderName);

  EXPECT_EQ(account.User, u"");
  EXPECT_EQ(account.PollFrequency, 5);
  EXPECT_EQ(account.RequestMessageCount, 100);
  EXPECT_TRUE(account.PollForNewTweets);
  EXPECT_TRUE(account.ShortenUrls);
  EXPECT_TRUE(account.EnableStats);
  EXPECT_TRUE(account.WarnOverLimit);
  EXPECT_TRUE(account.FetchFriendTimeline);
  EXPECT_TRUE(account.FetchReplies);
  EXPECT_TRUE(account.FetchDirectMessages);
  EXPECT_FALSE(account.TinyUrlPreview);
  EXPECT_FALSE(account.UseHttps);
  EXPECT_FALSE(account.SaveSentMessages);
  EXPECT_FALSE(account.PerSenderFolders);
  EXPECT_EQ(account.Searches.Count(), 0u);
  // Nothing was written by loading.
  EXPECT_FALSE(KeyExists(kOptionsPath));
}

TEST(SettingsCatalogue, ValuesOfTheWrongShapeTakeTheirDefaultAndFlagsNormalise) {
  TempProfile profile;
  // A number stored as text longer than four bytes reads as the default.
  PutString(kAccountPath, u"PollFrequency", u"17");
  // Any nonzero flag is true and is written back as 1.
  PutDword(kAccountPath, u"ShortenUrls", 0);
  PutDword(kAccountPath, u"TinyUrlPreview", 7);
  // A string longer than the first 200-byte read comes back whole.
  const std::u16string longUser(150, u'u');
  PutString(kAccountPath, u"User", longUser + u"\u00e9");

  CTwitterAccount account;
  account.Load();
  EXPECT_EQ(account.PollFrequency, 5);
  EXPECT_FALSE(account.ShortenUrls);
  EXPECT_TRUE(account.TinyUrlPreview);
  EXPECT_EQ(account.User, longUser + u"\u00e9");

  ASSERT_EQ(account.Save(), 0);
  DWORD v = 0;
  ASSERT_EQ(GetDword(kAccountPath, u"TinyUrlPreview", &v), 0);
  EXPECT_EQ(v, 1u);
  ASSERT_EQ(GetDword(kAccountPath, u"PollFrequency", &v), 0);
  EXPECT_EQ(v, 5u);
}

TEST(SettingsCatalogue, MissingLastValueLoadsTheRestButReportsIt) {
  TempProfile profile;
  CPLOpts written;
  written.TRI = 3;
  written.TickerCharLimit = 120;
  written.ShowFullSenderName = true;
  ASSERT_EQ(written.Save(), 0);
  HKEY key = CreateKey(kOptionsPath);
  ASSERT_EQ(RegDeleteValueW(key, u"ShowFullSenderName"), 0);
  RegCloseKey(key);

  CPLOpts read;
  EXPECT_EQ(read.Load(), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(read.TRI, 3);
  EXPECT_EQ(read.TickerCharLimit, 120);
  EXPECT_FALSE(read.ShowFullSenderName);
}

TEST(SettingsCatalogue, SaveAndLoadRoundTripEveryKind) {
  TempProfile profile;
  CTwitterAccount a;
  a.User = u"b\u00f6b";
  a.ApiHost = u"127.0.0.1:8080";
  a.PollFrequency = -3;
  a.PerSenderFolders = true;
  CSearchOpts s;
  s.SearchString = u"#cats";
  a.Searches.Append(s);
  ASSERT_EQ(a.Save(), 0);

  CTwitterAccount b;
  EXPECT_EQ(b.Load(), 0);  // the last step read the search list fine
  EXPECT_EQ(b.User, a.User);
  EXPECT_EQ(b.ApiHost, a.ApiHost);
  EXPECT_EQ(b.PollFrequency, -3);
  EXPECT_TRUE(b.PerSenderFolders);
  ASSERT_EQ(b.Searches.Count(), 1u);
  EXPECT_EQ(b.Searches.At(0).SearchString, u"#cats");
  EXPECT_TRUE(b.Searches.At(0).SLID);
}

}  // namespace

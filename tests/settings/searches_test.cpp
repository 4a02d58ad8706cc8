#include <gtest/gtest.h>

#include "platform/text.h"
#include "settings/account.h"
#include "settings_test_util.h"
#include "tests/support/temp_profile.h"

namespace {

using namespace settings_test;
using testing_support::TempProfile;

CSearchOpts Search(const std::u16string& query) {
  CSearchOpts s;
  s.SearchString = query;
  return s;
}

std::u16string SearchKey(int i) { return std::u16string(kAccountPath) + u"\\Searches\\" + ToDecimalW(i); }

TEST(SavedSearches, ShorterListLeavesOldSubkeysThatAreNeverReadAgain) {
  TempProfile profile;
  CTwitterAccount account;
  for (int i = 0; i < 5; ++i) account.Searches.Append(Search(u"q" + ToDecimalW(i)));
  ASSERT_EQ(account.Save(), 0);
  account.Searches.RemoveAt(4);
  account.Searches.RemoveAt(3);
  ASSERT_EQ(account.Save(), 0);

  EXPECT_TRUE(KeyExists(SearchKey(3)));
  EXPECT_TRUE(KeyExists(SearchKey(4)));
  DWORD count = 0;
  ASSERT_EQ(GetDword(std::u16string(kAccountPath) + u"\\Searches", u"Count", &count), 0);
  EXPECT_EQ(count, 3u);
  CTwitterAccount again;
  again.Load();
  ASSERT_EQ(again.Searches.Count(), 3u);
  EXPECT_EQ(again.Searches.At(2).SearchString, u"q2");
}

TEST(SavedSearches, RemovingRenumbersAndMissingPiecesReadSensibly) {
  TempProfile profile;
  CTwitterAccount account;
  account.Searches.Append(Search(u"first"));
  account.Searches.Append(Search(u"second"));
  account.Searches.RemoveAt(0);
  EXPECT_EQ(account.Searches.At(0).SearchString, u"second");
  EXPECT_THROW(account.Searches.At(1), std::out_of_range);
  account.Searches.Append(Search(u"third"));
  ASSERT_EQ(account.Save(), 0);

  // A record without "SLID" reads it as on; "Count" beyond the subkeys that
  // exist stops at the first gap.
  HKEY first = CreateKey(SearchKey(0));
  ASSERT_EQ(RegDeleteValueW(first, u"SLID"), 0);
  RegCloseKey(first);
  HKEY searches = CreateKey(std::u16string(kAccountPath) + u"\\Searches");
  ASSERT_EQ(RegDeleteTreeW(searches, u"1"), 0);
  RegCloseKey(searches);

  CTwitterAccount again;
  EXPECT_NE(again.Load(), 0);
  ASSERT_EQ(again.Searches.Count(), 1u);
  EXPECT_EQ(again.Searches.At(0).SearchString, u"second");
  EXPECT_TRUE(again.Searches.At(0).SLID);
}

}  // namespace

#include <gtest/gtest.h>

#include "settings/account.h"
#include "settings/password.h"
#include "tests/support/temp_profile.h"

namespace {

using testing_support::TempProfile;

bool IsUpperHex(const std::u16string& s) {
  for (char16_t c : s)
    if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'))) return false;
  return true;
}

TEST(Password, ProtectedAsUppercaseHexAndReadableOnlyByItsUser) {
  TempProfile profile;
  const std::u16string hex = ProtectPassword(u"abc");
  ASSERT_FALSE(hex.empty());
  EXPECT_EQ(hex.size() % 2, 0u);
  EXPECT_TRUE(IsUpperHex(hex));
  EXPECT_EQ(hex.find(u"616263"), std::u16string::npos);  // never the clear text
  EXPECT_EQ(UnprotectPassword(hex), u"abc");
  // Lower-case hex digits are accepted on the way back.
  std::u16string lower = hex;
  for (auto& c : lower)
    if (c >= u'A' && c <= u'F') c = static_cast<char16_t>(c + 32);
  EXPECT_EQ(UnprotectPassword(lower), u"abc");

  profile.SwitchUser("someone-else");
  EXPECT_EQ(UnprotectPassword(hex), u"");
  profile.SwitchUser("");
  EXPECT_EQ(UnprotectPassword(hex), u"abc");
}

TEST(Password, EmptyAndDamagedTextGiveTheEmptyPassword) {
  TempProfile profile;
  EXPECT_EQ(ProtectPassword(u""), u"");
  EXPECT_EQ(UnprotectPassword(u""), u"");
  const std::u16string hex = ProtectPassword(u"s\u00e9cret");
  EXPECT_EQ(UnprotectPassword(hex), u"s\u00e9cret");
  EXPECT_EQ(UnprotectPassword(hex.substr(1)), u"");            // odd length
  EXPECT_EQ(UnprotectPassword(hex.substr(0, hex.size() - 2)), u"");  // truncated
  std::u16string bad = hex;
  bad[4] = u'G';
  EXPECT_EQ(UnprotectPassword(bad), u"");  // not hex
  std::u16string flipped = hex;
  flipped[flipped.size() - 1] = flipped.back() == u'0' ? u'1' : u'0';
  EXPECT_EQ(UnprotectPassword(flipped), u"");  // tampered
}

TEST(Password, AccountStoresOnlyTheProtectedForm) {
  TempProfile profile;
  CTwitterAccount account;
  account.SetPassword(u"hunter2");
  EXPECT_NE(account.Password, u"hunter2");
  ASSERT_EQ(account.Save(), 0);
  CTwitterAccount again;
  again.Load();
  EXPECT_EQ(again.GetPassword(), u"hunter2");
  again.SetPassword(u"");
  EXPECT_EQ(again.Password, u"");
  EXPECT_EQ(again.GetPassword(), u"");
}

}  // namespace

namespace {

TEST(Password, APasswordThatCannotBeProtectedLeavesTheStoredOneAlone) {
  TempProfile profile;
  CTwitterAccount account;
  ASSERT_TRUE(account.SetPassword(u"first"));
  const std::u16string stored = account.Password;
  // A damaged key file: protecting fails, and the old text must survive.
  testing_support::WriteFile(profile.configDir() + "/dpapi.key", "short");
  EXPECT_FALSE(account.SetPassword(u"second"));
  EXPECT_EQ(account.Password, stored);
}

}  // namespace

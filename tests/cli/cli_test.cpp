// The `wrenvia` program as a user runs it: exit codes, messages, and that a
// refused command writes nothing.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "platform/text.h"
#include "settings/account.h"
#include "tests/support/temp_profile.h"

namespace {

using testing_support::TempProfile;

struct Result {
  int status = -1;
  std::string output;  // standard output and error together
};

// Runs the program with the test's profile in the environment.
Result Wrenvia(const std::string& arguments, const std::string& input = "") {
  std::string command = std::string(WRENVIA_PROGRAM) + " " + arguments + " 2>&1";
  if (!input.empty()) command = "printf '%s\\n' '" + input + "' | " + command;
  else command += " < /dev/null";
  Result r;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return r;
  std::array<char, 4096> buf;
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) r.output.append(buf.data(), n);
  const int status = ::pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string HiveText(const TempProfile& profile) {
  return testing_support::ReadFile(profile.configDir() + "/HKEY_CURRENT_USER.reg");
}

TEST(CommandLine, SettingsAreChangedByNameAndBadInputChangesNothing) {
  TempProfile profile;
  Result r = Wrenvia("settings set PollFrequency 10");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Wrenvia("settings get pollfrequency").output, "10\n");
  const std::string before = HiveText(profile);

  r = Wrenvia("settings set PollFrequency ten");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("whole number"), std::string::npos) << r.output;
  r = Wrenvia("settings set NoSuchThing 1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("no setting named 'NoSuchThing'"), std::string::npos);
  r = Wrenvia("settings set ShortenUrls maybe");
  EXPECT_EQ(r.status, 2);
  r = Wrenvia("settings set Password x");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(HiveText(profile), before);

  r = Wrenvia("settings list");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("  PollFrequency              10\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("  Password                   (not set)\n"), std::string::npos);
}

TEST(CommandLine, PasswordIsStoredProtectedAndAnEmptyLineIsRefused) {
  TempProfile profile;
  Result r = Wrenvia("account password", "s3cret");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(HiveText(profile).find("s3cret"), std::string::npos);
  EXPECT_NE(Wrenvia("settings get Password").output.find("(set)"), std::string::npos);
  r = Wrenvia("account password");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(Wrenvia("settings get Password").output.find("(set)"), std::string::npos);
  EXPECT_EQ(Wrenvia("account password --clear").status, 0);
  EXPECT_NE(Wrenvia("settings get Password").output.find("(not set)"), std::string::npos);
}

TEST(CommandLine, SavedSearchesKeepTheirLimitAndAChangedQueryStartsOver) {
  TempProfile profile;
  // Fill the list to its limit directly; the program must refuse one more.
  {
    CTwitterAccount account;
    for (int i = 0; i < 50; ++i) {
      CSearchOpts s;
      s.SearchString = u"q" + ToDecimalW(i);
      s.LastMsgId = u"100";
      account.Searches.Append(s);
    }
    ASSERT_EQ(account.Save(), 0);
  }
  Result r = Wrenvia("search add extra");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("We are limiting the total number of searches"), std::string::npos) << r.output;

  EXPECT_EQ(Wrenvia("search edit 0 --query q0").status, 0);  // same text: progress kept
  EXPECT_EQ(Wrenvia("search edit 1 --query Q1").status, 0);  // changed case: starts over
  EXPECT_EQ(Wrenvia("search edit 99 --folder New").status, 2);
  EXPECT_FALSE(testing_support::FileExists(profile.maildir() + "/.New"));
  EXPECT_EQ(Wrenvia("search add '   '").status, 2);
  EXPECT_EQ(Wrenvia("search delete 49").status, 0);
  {
    CTwitterAccount account;
    account.Load();
    ASSERT_EQ(account.Searches.Count(), 49u);
    EXPECT_EQ(account.Searches.At(0).LastMsgId, u"100");
    EXPECT_EQ(account.Searches.At(1).SearchString, u"Q1");
    EXPECT_EQ(account.Searches.At(1).LastMsgId, u"");
  }
  EXPECT_EQ(Wrenvia("search add '#cats' --folder Cats").status, 0);
  EXPECT_TRUE(testing_support::FileExists(profile.maildir() + "/.Cats"));
  EXPECT_NE(Wrenvia("search list").output.find("49: \"#cats\" -> Cats"), std::string::npos);
}

TEST(CommandLine, CheckWithoutAnAccountAndUnknownCommandsWriteNothing) {
  TempProfile profile;
  Result r = Wrenvia("check");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("Please enter your Twitter user name and password"), std::string::npos);
  testing_support::RemoveTree(profile.dataDir());
  r = Wrenvia("frobnicate");
  EXPECT_EQ(r.status, 2);
  EXPECT_FALSE(testing_support::FileExists(profile.dataDir() + "/Nevlora"));
  r = Wrenvia("folder bogus");
  EXPECT_EQ(r.status, 2);
  EXPECT_FALSE(testing_support::FileExists(profile.maildir()));
}

TEST(CommandLine, TheDemoDeliversOnceAndNothingNewTheSecondTime) {
  TempProfile profile;
  const std::string dir = profile.root() + "/demo";
  Result r = Wrenvia("demo --profile " + dir);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Delivered 123 tweets and 11 search results this run."), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Searches                        11 messages"), std::string::npos);
  EXPECT_NE(r.output.find("fots.hta"), std::string::npos);
  EXPECT_TRUE(testing_support::FileExists(dir + "/data/Nevlora/Wrenvia/StatsUI/data.js"));
  // The real profile of this test (its own HOME) stays untouched.
  EXPECT_FALSE(testing_support::FileExists(profile.maildir()));
  EXPECT_FALSE(testing_support::FileExists(profile.configDir()));

  r = Wrenvia("demo --profile " + dir);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Delivered 0 tweets and 0 search results this run."), std::string::npos) << r.output;
}

}  // namespace

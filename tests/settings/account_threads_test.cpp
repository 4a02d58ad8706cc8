#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/text.h"
#include "settings/account.h"
#include "settings/test_hooks.h"
#include "tests/support/temp_profile.h"

namespace {

using testing_support::TempProfile;

// The polling worker advances markers and saves while the UI thread edits
// options and saves: with the account lock held around field changes and
// Save(), nothing races and the last values of both survive.
TEST(AccountThreads, WorkerAndUiChangeAndSaveTheSingletonAtOnce) {
  TempProfile profile;
  ReloadSettingsForTests();
  CTwitterAccount& account = GetAccount();
  constexpr int kRounds = 40;

  std::thread worker([&account] {
    for (int i = 1; i <= kRounds; ++i) {
      auto guard = account.Lock();
      account.FriendsLastMsgId = ToDecimalW(1000 + i);
      account.Save();
    }
  });
  for (int i = 1; i <= kRounds; ++i) {
    auto guard = account.Lock();
    account.PollFrequency = i;
    if (i % 2 == 0) {
      CSearchOpts s;
      s.SearchString = u"s" + ToDecimalW(i);
      account.Searches.Append(s);
    }
    account.Save();
  }
  worker.join();

  CTwitterAccount reread;
  reread.Load();
  EXPECT_EQ(reread.FriendsLastMsgId, ToDecimalW(1000 + kRounds));
  EXPECT_EQ(reread.PollFrequency, kRounds);
  EXPECT_EQ(reread.Searches.Count(), static_cast<std::size_t>(kRounds / 2));
}

TEST(AccountThreads, SingletonsAreCreatedOnceUnderARace) {
  TempProfile profile;
  std::atomic<CTwitterAccount*> seen[4] = {};
  std::thread threads[4];
  for (int i = 0; i < 4; ++i) threads[i] = std::thread([&seen, i] { seen[i] = &GetAccount(); });
  for (auto& t : threads) t.join();
  for (int i = 1; i < 4; ++i) EXPECT_EQ(seen[i].load(), seen[0].load());
}

}  // namespace

// The runner's worker delivers while the UI thread runs interactive checks
// and edits the account: for ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "engine/new_message_cycle.h"
#include "engine/saved_search_cycle.h"
#include "engine/twitter_runner.h"
#include "tests/engine/cycle_fixture.h"

namespace {

using engine_test::CycleTest;

class CycleThreads : public CycleTest {};

TEST_F(CycleThreads, WorkerAndInteractiveCheckAtOnce) {
  {
    auto guard = GetAccount().Lock();
    GetAccount().PerSenderFolders = true;
    CSearchOpts s;
    s.SearchString = u"#photo";
    GetAccount().Searches.Append(s);
  }
  auto runner = std::make_shared<nevlora::CTwitterRunner>();
  std::atomic<std::int64_t> clock{1'700'000'000};
  nevlora::RunnerTiming timing;
  timing.now = [&clock] { return clock += 3600; };  // every pass is due for everything
  timing.firstWait = std::chrono::milliseconds(0);
  timing.passWait = std::chrono::milliseconds(2);
  runner->SetTiming(timing);
  runner->Start();

  std::int64_t nextId = 300;
  for (int round = 0; round < 8; ++round) {
    service_.EditData([&nextId](standin::SeedData& d) {
      d.statuses.push_back(engine_test::Post(nextId++, "alice", "round post"));
      d.statuses.push_back(engine_test::Post(nextId++, "bob", "another @wren"));
    });
    CheckNewMessages(*runner, true, nullptr, kStreamReplies | kStreamDirect, nullptr);
    {
      auto guard = GetAccount().Lock();
      GetAccount().PollFrequency = 2 + round;  // the UI edits while the worker reads
      GetAccount().Save();
    }
    (void)NewTweetFeed::Instance().Next(static_cast<std::int64_t>(std::time(nullptr)));
  }
  runner->Stop();
  runner.reset();
  nevlora::CThreadRunner::JoinAllWorkers();

  // Every post arrived; two overlapping cycles may both store one (the
  // engine keeps no lock across a cycle), never none.
  std::size_t total = 0;
  for (const char16_t* sender : {u"alice", u"bob", u"carol"})
    total += Count({sender});
  EXPECT_GE(total, 3u + 16u + 1u);
}

}  // namespace

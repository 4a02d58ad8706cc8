// The runner's schedule, with a clock that moves one minute per pass and
// passes that take a millisecond.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/twitter_runner.h"
#include "settings/account.h"
#include "settings/test_hooks.h"
#include "tests/support/temp_profile.h"

namespace {

using nevlora::CTwitterRunner;
using testing_support::TempProfile;

struct Event {
  int pass;
  char what;  // 'c' new-message cycle, 's' searches
  int mask;
};

class RecordingRunner : public CTwitterRunner {
 public:
  explicit RecordingRunner(int passes) : passes_(passes) {
    nevlora::RunnerTiming timing;
    timing.now = [this] { return kStart + 60 * ++pass_; };
    timing.firstWait = std::chrono::milliseconds(0);
    timing.passWait = std::chrono::milliseconds(1);
    SetTiming(timing);
  }

  std::vector<Event> RunPasses() {
    Start();
    for (int i = 0; i < 20000 && pass_ < passes_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Stop();
    std::lock_guard lock(mutex_);
    return events_;
  }

 protected:
  void RunNewMessageCycle(int mask) override { Record('c', mask); }
  void RunSearchCycle() override { Record('s', 0); }

 private:
  static constexpr std::int64_t kStart = 1'700'000'000;
  void Record(char what, int mask) {
    std::lock_guard lock(mutex_);
    if (pass_ <= passes_) events_.push_back({pass_, what, mask});
  }
  const int passes_;
  std::atomic<int> pass_{0};
  std::mutex mutex_;
  std::vector<Event> events_;
};

std::vector<int> PassesOf(const std::vector<Event>& events, char what) {
  std::vector<int> passes;
  for (const auto& e : events)
    if (e.what == what) passes.push_back(e.pass);
  return passes;
}

std::vector<Event> RunSchedule(int pollFrequency, bool friends, bool polling, int passes) {
  ReloadSettingsForTests();
  {
    CTwitterAccount& account = GetAccount();
    auto guard = account.Lock();
    account.PollFrequency = pollFrequency;
    account.FetchFriendTimeline = friends;
    account.PollForNewTweets = polling;
  }
  auto runner = std::make_shared<RecordingRunner>(passes);
  return runner->RunPasses();
}

TEST(ScheduleThreads, CycleIntervalFollowsThePollFrequencyBounds) {
  TempProfile profile;
  EXPECT_EQ(CTwitterRunner::CycleMinutes(0), 2);
  EXPECT_EQ(CTwitterRunner::CycleMinutes(1), 2);
  EXPECT_EQ(CTwitterRunner::CycleMinutes(61), 2);
  EXPECT_EQ(CTwitterRunner::CycleMinutes(-5), 2);
  EXPECT_EQ(CTwitterRunner::CycleMinutes(5), 5);
  EXPECT_EQ(CTwitterRunner::CycleMinutes(60), 60);

  // A minute per pass and strict comparisons: a cycle on the first pass,
  // then on the first pass more than the interval later.
  EXPECT_EQ(PassesOf(RunSchedule(1, true, true, 10), 'c'), (std::vector<int>{1, 4, 7, 10}));
  EXPECT_EQ(PassesOf(RunSchedule(5, true, true, 14), 'c'), (std::vector<int>{1, 7, 13}));
  EXPECT_EQ(PassesOf(RunSchedule(60, true, true, 63), 'c'), (std::vector<int>{1, 62}));
}

TEST(ScheduleThreads, DirectMessagesJoinAtMostEveryFiveMinutesWhileFriendsAreFetched) {
  TempProfile profile;
  // Friends timeline on, frequency 2: direct messages only every 5 minutes.
  std::vector<Event> events = RunSchedule(2, true, true, 13);
  std::vector<std::pair<int, int>> cycles;
  for (const auto& e : events)
    if (e.what == 'c') cycles.emplace_back(e.pass, e.mask);
  EXPECT_EQ(cycles, (std::vector<std::pair<int, int>>{{1, 3}, {4, 1}, {7, 3}, {10, 1}, {13, 3}}));

  // Friends timeline off, frequency 10: every cycle fetches them.
  events = RunSchedule(10, false, true, 23);
  cycles.clear();
  for (const auto& e : events)
    if (e.what == 'c') cycles.emplace_back(e.pass, e.mask);
  EXPECT_EQ(cycles, (std::vector<std::pair<int, int>>{{1, 3}, {12, 3}, {23, 3}}));

  // A raised mask moves the direct-message clock even when no cycle runs:
  // with friends on and frequency 10 the mask rises on passes 1, 7, 13, 19
  // ..., so the cycles of passes 12 and 23 fetch no direct messages.
  events = RunSchedule(10, true, true, 23);
  cycles.clear();
  for (const auto& e : events)
    if (e.what == 'c') cycles.emplace_back(e.pass, e.mask);
  EXPECT_EQ(cycles, (std::vector<std::pair<int, int>>{{1, 3}, {12, 1}, {23, 1}}));
}

TEST(ScheduleThreads, SearchesRunEverySixPassesEvenWithPollingOff) {
  TempProfile profile;
  const std::vector<Event> events = RunSchedule(5, true, false, 13);
  EXPECT_TRUE(PassesOf(events, 'c').empty());
  EXPECT_EQ(PassesOf(events, 's'), (std::vector<int>{1, 7, 13}));
}

TEST(ScheduleThreads, StopAndStartAreSafeInAnyState) {
  TempProfile profile;
  ReloadSettingsForTests();
  // Never started: Stop returns at once.
  CTwitterRunner unstarted;
  const auto before = std::chrono::steady_clock::now();
  unstarted.Stop();
  EXPECT_TRUE(unstarted.StopRequested());
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));

  // Started twice: one worker; it stops promptly when woken.
  auto runner = std::make_shared<CTwitterRunner>();
  nevlora::RunnerTiming timing;
  timing.passWait = std::chrono::hours(1);
  runner->SetTiming(timing);
  runner->Start();
  for (int i = 0; i < 2000 && runner->ThreadId() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const DWORD first = runner->ThreadId();
  runner->Start();
  EXPECT_EQ(runner->ThreadId(), first);
  EXPECT_TRUE(runner->IsRunning());
  const auto stopAt = std::chrono::steady_clock::now();
  runner->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::seconds(2));
  EXPECT_FALSE(runner->IsRunning());
  // A stopped runner starts again with a new worker.
  runner->Start();
  EXPECT_TRUE(runner->IsRunning());
  runner->Stop();
  EXPECT_FALSE(runner->IsRunning());
}

}  // namespace

namespace {

// A worker still inside a cycle when Stop gives up keeps its runner alive:
// the owner may let go of the runner at once, and the worker ends cleanly
// when its cycle returns.
class BlockingRunner : public CTwitterRunner {
 public:
  std::atomic<bool> entered{false};
  std::atomic<bool> release{false};
  std::atomic<bool>* finished = nullptr;

  ~BlockingRunner() override {
    if (finished) *finished = true;
  }

 protected:
  void RunNewMessageCycle(int) override {
    entered = true;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  void RunSearchCycle() override {}
};

TEST(ScheduleThreads, StopThatGivesUpLeavesTheWorkerSafe) {
  TempProfile profile;
  ReloadSettingsForTests();
  std::atomic<bool> destroyed{false};
  auto runner = std::make_shared<BlockingRunner>();
  runner->finished = &destroyed;
  nevlora::RunnerTiming timing;
  timing.firstWait = std::chrono::milliseconds(0);
  timing.passWait = std::chrono::milliseconds(1);
  runner->SetTiming(timing);
  runner->SetStopTimeoutForTests(std::chrono::milliseconds(50));
  runner->Start();
  for (int i = 0; i < 5000 && !runner->entered; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(runner->entered);
  runner->Stop();  // gives up: the worker is still in its cycle
  EXPECT_FALSE(runner->IsRunning());
  std::atomic<bool>& release = runner->release;
  runner.reset();  // the owner lets go; the worker still holds the runner
  EXPECT_FALSE(destroyed);
  release = true;
  nevlora::CThreadRunner::JoinAllWorkers();
  EXPECT_TRUE(destroyed);
}

}  // namespace

// The worker's own application: handed over by Start, used by the worker's
// cycles only, released on every path - also across a restart after a Stop
// that gave up.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/twitter_runner.h"
#include "host/outlook/application.h"
#include "settings/test_hooks.h"
#include "store/outlook_access.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_profile.h"

namespace {

using testing_support::TempProfile;

// Records which application each cycle saw, and can hold a cycle.
class ProbeRunner : public nevlora::CTwitterRunner {
 public:
  ProbeRunner() {
    nevlora::RunnerTiming timing;
    timing.now = [this] { return clock_ += 3600; };
    timing.firstWait = std::chrono::milliseconds(0);
    timing.passWait = std::chrono::milliseconds(1);
    SetTiming(timing);
  }
  std::atomic<int> cycles{0};
  std::atomic<int> cyclesWithApplication{0};
  std::atomic<bool> hold{false};
  std::atomic<bool> holding{false};

 protected:
  void RunNewMessageCycle(int) override {
    ++cycles;
    if (Application()) ++cyclesWithApplication;
    while (hold && !StopRequested()) {
      holding = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // A worker left behind keeps going until its cycle ends; it must see
    // that it was stopped even though the runner was started again.
    while (hold) {
      holding = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    holding = false;
  }
  void RunSearchCycle() override {}

 private:
  std::atomic<std::int64_t> clock_{1'700'000'000};
};

template <class F>
bool WaitFor(F done) {
  for (int i = 0; i < 5000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

class RunnerApplicationThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    ReloadSettingsForTests();
    std::string error;
    ASSERT_EQ(CreateOutlookApplication("", nullptr, app_.put(), &error), S_OK) << error;
    SetOutlookApplication(app_.get());
  }
  void TearDown() override {
    SetOutlookApplication(nullptr);
    nevlora::CThreadRunner::JoinAllWorkers();
  }
  TempProfile profile_;
  ComPtr<_Application> app_;
};

TEST_F(RunnerApplicationThreads, TheWorkersCyclesUseItsOwnApplicationAndNoOtherThreadSeesIt) {
  auto runner = std::make_shared<ProbeRunner>();
  runner->Start();
  ASSERT_TRUE(WaitFor([&] { return runner->cycles >= 3; }));
  runner->Stop();
  EXPECT_EQ(runner->cyclesWithApplication.load(), runner->cycles.load());
  EXPECT_FALSE(runner->Application());  // not on this thread
}

TEST_F(RunnerApplicationThreads, WithoutAnApplicationTheWorkerRunsOnAndSaysSo) {
  SetOutlookApplication(nullptr);
  testing_support::LogCapture log("oam");
  auto runner = std::make_shared<ProbeRunner>();
  runner->Start();
  ASSERT_TRUE(WaitFor([&] { return runner->cycles >= 2; }));
  runner->Stop();
  EXPECT_EQ(runner->cyclesWithApplication.load(), 0);
  EXPECT_TRUE(log.Contains("moa failed. 0x")) << log.Text();
}

TEST_F(RunnerApplicationThreads, ARestartAfterAStopThatGaveUpGivesTheNewWorkerItsOwn) {
  auto runner = std::make_shared<ProbeRunner>();
  runner->SetStopTimeoutForTests(std::chrono::milliseconds(20));
  runner->hold = true;
  runner->Start();
  ASSERT_TRUE(WaitFor([&] { return runner->holding.load(); }));
  runner->Stop();  // gives up: the first worker is held in its cycle
  const int before = runner->cycles;
  runner->hold = false;
  runner->Start();
  ASSERT_TRUE(WaitFor([&] { return runner->cycles >= before + 3; }));
  // Every cycle of the new worker had an application, also once the old
  // worker ended and released its own.
  ASSERT_TRUE(WaitFor([&] { return nevlora::CThreadRunner::WorkersRunning() == 1; }));
  const int now = runner->cycles;
  const int withApp = runner->cyclesWithApplication;
  ASSERT_TRUE(WaitFor([&] { return runner->cycles >= now + 3; }));
  runner->Stop();
  EXPECT_EQ(runner->cyclesWithApplication.load() - withApp, runner->cycles.load() - now);
}

TEST_F(RunnerApplicationThreads, ARunnerEndedBeforeItsWorkerTookTheApplicationReleasesIt) {
  // Started and stopped before the worker's first wait ended: the marshalled
  // reference is never taken and must go with the runner (LeakSanitizer
  // reports it otherwise).
  auto runner = std::make_shared<ProbeRunner>();
  nevlora::RunnerTiming timing;
  timing.firstWait = std::chrono::hours(1);
  runner->SetTiming(timing);
  runner->Start();
  runner->Stop();
  runner.reset();
  nevlora::CThreadRunner::JoinAllWorkers();
  SUCCEED();
}

}  // namespace

// The polling runner: one worker thread that wakes every minute and runs the
// new-message cycle and the saved-search cycle on the configured schedule,
// with its own reference to the host application.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "addin/import/outlook.h"
#include "engine/thread_runner.h"
#include "platform/com/com_ptr.h"
#include "platform/com/apartment.h"

namespace nevlora {

// The clock and the waits of the schedule; tests run it in milliseconds.
struct RunnerTiming {
  std::function<std::int64_t()> now;  // whole seconds since 1970 UTC; the system clock when empty
  std::chrono::milliseconds firstWait{10};
  std::chrono::milliseconds passWait{60000};
};

class CTwitterRunner : public CThreadRunner {
 public:
  CTwitterRunner() = default;
  ~CTwitterRunner() override;

  HRESULT Start() override;
  DWORD Run() override;

  // The worker's own application reference (none on a runner that was never
  // started, or when marshalling failed).
  ComPtr<_Application> Application() const;

  void SetTiming(RunnerTiming timing) { m_timing = std::move(timing); }

  // The effective cycle interval in minutes for a stored PollFrequency.
  static int CycleMinutes(std::int32_t pollFrequency);

 protected:
  // The two cycles the schedule runs; tests count them instead.
  virtual void RunNewMessageCycle(int mask);
  virtual void RunSearchCycle();

 private:
  std::int64_t Now() const;

  mutable std::mutex m_appLock;
  ComPtr<IStream> m_marshalledApplication;
  ComPtr<_Application> m_application;
  RunnerTiming m_timing;
};

}  // namespace nevlora

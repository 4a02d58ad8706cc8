// The polling runner: one worker thread that wakes every minute and runs the
// new-message cycle and the saved-search cycle on the configured schedule,
// with its own reference to the host application.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

#include "addin/import/outlook.h"
#include "engine/thread_runner.h"
#include "platform/com/apartment.h"
#include "platform/com/com_ptr.h"

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

  // The worker's own application reference, on the worker; none on any
  // other thread (the temporary runners of the UI thread have none).
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
  void TakeMarshalledApplication();

  mutable std::mutex m_appLock;
  // Marshalled by Start, waiting for the worker to take it.
  ComPtr<IStream> m_marshalledApplication;
  RunnerTiming m_timing;
};

}  // namespace nevlora

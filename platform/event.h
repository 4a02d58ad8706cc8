// An auto-reset event (CreateEvent with bManualReset FALSE): Set wakes one
// waiter, or the next one to wait, and resets itself.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

class AutoResetEvent {
 public:
  void Set();
  // True when signalled within `timeout`, false when the time ran out.
  bool Wait(std::chrono::milliseconds timeout);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
};

}  // namespace platform

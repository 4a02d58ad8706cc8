// The worker-thread base of the polling runner: start, request a stop, stop
// with a bounded wait, and release the thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/event.h"
#include "platform/win32.h"

namespace nevlora {

struct WorkerExit;

// A runner is shared by its owner and its worker thread: the worker holds a
// reference for as long as it runs, so a Stop that gave up waiting and an
// owner that then let go of the runner never leave the worker with freed
// memory. Runners that will be started must therefore be owned by a
// std::shared_ptr; a temporary runner that only lends itself to an
// interactive cycle may live anywhere.
class CThreadRunner : public std::enable_shared_from_this<CThreadRunner> {
 public:
  CThreadRunner() = default;
  virtual ~CThreadRunner();
  CThreadRunner(const CThreadRunner&) = delete;
  CThreadRunner& operator=(const CThreadRunner&) = delete;

  virtual void RequestStop() { m_stopRequested = true; }
  virtual HRESULT Start() = 0;
  // The body of the thread; its result is the thread's exit code.
  virtual DWORD Run() = 0;

  // Sets the stop flag, wakes the worker and waits for it up to the stop
  // timeout (5000 ms); then releases the thread whether or not it ended.
  void Stop();
  // Under the lock: lets go of the thread and the event, clears the thread
  // id and the running flag.
  void ReleaseThread();

  // True once a stop was asked; on a worker left behind by a Stop that gave
  // up (the runner was started again since), true as well.
  bool StopRequested() const;
  bool IsRunning() const;
  DWORD ThreadId() const;

  // How long Stop waits for the worker (5000 ms; tests shorten it).
  static constexpr std::chrono::milliseconds kStopTimeout{5000};
  void SetStopTimeoutForTests(std::chrono::milliseconds timeout) { m_stopTimeout = timeout; }

  // Asks every worker of the process to stop and waits until all have ended
  // (the process calls this before it exits; it also runs at exit).
  static void JoinAllWorkers();
  // How many workers of the process have not ended yet.
  static int WorkersRunning();

 protected:
  // Starts the worker running ThreadMain on this runner (under the lock; no
  // second thread while one exists). False when the runner is not owned by
  // a shared_ptr or the thread could not be created.
  bool StartThread();
  // The event the worker sleeps on; null once released.
  std::shared_ptr<platform::AutoResetEvent> WakeEvent() const;
  // True on this runner's own worker thread (the current one or one left
  // behind).
  bool OnOwnWorker() const;

  std::atomic<bool> m_stopRequested{false};

 private:
  static void ThreadMain(std::shared_ptr<CThreadRunner> runner, std::uint64_t generation);
  void ReleaseThreadLocked();
  void Wake();

  std::chrono::milliseconds m_stopTimeout = kStopTimeout;
  mutable std::mutex m_lock;
  std::thread m_thread;
  DWORD m_threadId = 0;
  std::shared_ptr<platform::AutoResetEvent> m_wakeEvent;
  bool m_running = false;
  std::uint64_t m_generation = 0;
  // Signalled by the worker when it ends; Stop waits on it.
  std::shared_ptr<WorkerExit> m_exit;
};

}  // namespace nevlora

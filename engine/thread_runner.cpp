#include "engine/thread_runner.h"

#include <cstdlib>

#include "platform/com/apartment.h"

namespace nevlora {

struct WorkerExit {
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;

  void Signal() {
    {
      std::lock_guard lock(mutex);
      done = true;
    }
    cv.notify_all();
  }
  bool WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex);
    return cv.wait_for(lock, timeout, [this] { return done; });
  }
};

namespace {

// Every worker of the process, so the process can wait for them before it
// exits even after a Stop that gave up.
struct WorkerCount {
  std::mutex mutex;
  std::condition_variable cv;
  int running = 0;
};

WorkerCount& Workers() {
  static WorkerCount* const workers = new WorkerCount();
  return *workers;
}

thread_local std::uint64_t t_workerGeneration = 0;

}  // namespace

CThreadRunner::~CThreadRunner() {
  // The last reference may be the worker's own, dropped as it ends.
  std::lock_guard lock(m_lock);
  if (m_thread.joinable()) {
    if (m_thread.get_id() == std::this_thread::get_id())
      m_thread.detach();
    else
      m_thread.join();
  }
}

bool CThreadRunner::StartThread() {
  std::shared_ptr<CThreadRunner> self = weak_from_this().lock();
  if (!self) return false;
  std::lock_guard lock(m_lock);
  if (m_thread.joinable() || m_running) return true;  // one worker at a time
  m_running = true;
  m_stopRequested = false;
  m_wakeEvent = std::make_shared<platform::AutoResetEvent>();
  m_exit = std::make_shared<WorkerExit>();
  const std::uint64_t generation = ++m_generation;
  {
    std::lock_guard count(Workers().mutex);
    if (Workers().running++ == 0) {
      static bool registered = false;
      if (!registered) {
        registered = true;
        std::atexit(&CThreadRunner::JoinAllWorkers);
      }
    }
  }
  try {
    m_thread = std::thread(&CThreadRunner::ThreadMain, std::move(self), generation);
  } catch (const std::system_error&) {
    {
      std::lock_guard count(Workers().mutex);
      --Workers().running;
    }
    m_running = false;
    m_wakeEvent.reset();
    m_exit.reset();
    return false;
  }
  return true;
}

void CThreadRunner::ThreadMain(std::shared_ptr<CThreadRunner> runner, std::uint64_t generation) {
  std::shared_ptr<WorkerExit> exit;
  {
    std::lock_guard lock(runner->m_lock);
    runner->m_threadId = GetCurrentThreadId();
    exit = runner->m_exit;
  }
  t_workerGeneration = generation;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  runner->Run();
  runner->ReleaseThreadOf(generation);
  CoUninitialize();
  if (exit) exit->Signal();
  runner.reset();  // may end the runner, on this thread
  {
    std::lock_guard count(Workers().mutex);
    --Workers().running;
  }
  Workers().cv.notify_all();
}

void CThreadRunner::Stop() {
  m_stopRequested = true;
  std::shared_ptr<WorkerExit> exit;
  {
    std::lock_guard lock(m_lock);
    if (m_thread.joinable()) {
      if (m_wakeEvent) m_wakeEvent->Set();
      exit = m_exit;
    }
  }
  if (exit) exit->WaitFor(m_stopTimeout);
  ReleaseThread();
}

void CThreadRunner::ReleaseThread() {
  std::lock_guard lock(m_lock);
  if (m_thread.joinable()) {
    const bool ended = m_exit && m_exit->WaitFor(std::chrono::milliseconds(0));
    if (m_thread.get_id() != std::this_thread::get_id() && ended)
      m_thread.join();
    else
      m_thread.detach();  // still busy: it keeps the runner alive itself
  }
  m_wakeEvent.reset();
  m_exit.reset();
  m_threadId = 0;
  m_running = false;
}

void CThreadRunner::ReleaseThreadOf(std::uint64_t generation) {
  {
    std::lock_guard lock(m_lock);
    if (generation != m_generation || !m_thread.joinable() || m_thread.get_id() != std::this_thread::get_id())
      return;  // Stop released this worker already; a newer one may be running
  }
  ReleaseThread();
}

bool CThreadRunner::IsRunning() const {
  std::lock_guard lock(m_lock);
  return m_running;
}

DWORD CThreadRunner::ThreadId() const {
  std::lock_guard lock(m_lock);
  return m_threadId;
}

std::shared_ptr<platform::AutoResetEvent> CThreadRunner::WakeEvent() const {
  std::lock_guard lock(m_lock);
  return m_wakeEvent;
}

bool CThreadRunner::ShouldRun() const {
  if (m_stopRequested) return false;
  std::lock_guard lock(m_lock);
  return t_workerGeneration == m_generation;
}

void CThreadRunner::JoinAllWorkers() {
  std::unique_lock lock(Workers().mutex);
  Workers().cv.wait(lock, [] { return Workers().running == 0; });
}

}  // namespace nevlora

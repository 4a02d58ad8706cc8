#include "engine/thread_runner.h"

#include <condition_variable>
#include <cstdlib>
#include <vector>

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

// Every worker of the process, so the process can stop them and wait for
// them before it exits, even after a Stop that gave up.
struct Workers {
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<std::weak_ptr<CThreadRunner>> runners;
  int running = 0;
};

Workers& AllWorkers() {
  static Workers* const workers = new Workers();
  return *workers;
}

// Which runner and which of its starts the current thread works for.
thread_local const CThreadRunner* t_workerRunner = nullptr;
thread_local std::uint64_t t_workerGeneration = 0;

}  // namespace

CThreadRunner::~CThreadRunner() {
  // The last reference may be the worker's own, dropped as it ends; any other
  // thread only finds a worker here that has ended already.
  std::thread thread;
  {
    std::lock_guard lock(m_lock);
    thread = std::move(m_thread);
  }
  if (thread.joinable()) {
    if (thread.get_id() == std::this_thread::get_id())
      thread.detach();
    else
      thread.join();
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
    Workers& workers = AllWorkers();
    std::lock_guard count(workers.mutex);
    static bool registered = false;
    if (!registered) {
      registered = true;
      std::atexit(&CThreadRunner::JoinAllWorkers);
    }
    ++workers.running;
    std::erase_if(workers.runners, [](const std::weak_ptr<CThreadRunner>& w) { return w.expired(); });
    workers.runners.push_back(self);
  }
  try {
    m_thread = std::thread(&CThreadRunner::ThreadMain, std::move(self), generation);
  } catch (const std::system_error&) {
    {
      std::lock_guard count(AllWorkers().mutex);
      --AllWorkers().running;
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
    if (runner->m_generation == generation) runner->m_threadId = GetCurrentThreadId();
    exit = runner->m_exit;
  }
  t_workerRunner = runner.get();
  t_workerGeneration = generation;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  runner->Run();
  {
    // Only while this worker is still the runner's current one: a Stop that
    // gave up released it already, and a newer worker may be running.
    std::lock_guard lock(runner->m_lock);
    if (runner->m_generation == generation && runner->m_thread.get_id() == std::this_thread::get_id())
      runner->ReleaseThreadLocked();
  }
  CoUninitialize();
  if (exit) exit->Signal();
  t_workerRunner = nullptr;
  runner.reset();  // may end the runner, on this thread
  Workers& workers = AllWorkers();
  {
    std::lock_guard count(workers.mutex);
    --workers.running;
  }
  workers.cv.notify_all();
}

void CThreadRunner::Wake() {
  std::lock_guard lock(m_lock);
  if (m_wakeEvent) m_wakeEvent->Set();
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
  ReleaseThreadLocked();
}

void CThreadRunner::ReleaseThreadLocked() {
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

bool CThreadRunner::StopRequested() const {
  if (m_stopRequested) return true;
  if (t_workerRunner != this) return false;
  std::lock_guard lock(m_lock);
  return t_workerGeneration != m_generation;
}

bool CThreadRunner::OnOwnWorker() const { return t_workerRunner == this; }

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

int CThreadRunner::WorkersRunning() {
  std::lock_guard lock(AllWorkers().mutex);
  return AllWorkers().running;
}

void CThreadRunner::JoinAllWorkers() {
  Workers& workers = AllWorkers();
  std::vector<std::weak_ptr<CThreadRunner>> runners;
  {
    std::lock_guard lock(workers.mutex);
    runners.swap(workers.runners);
  }
  // A runner its owner never stopped would otherwise poll for ever.
  for (const auto& weak : runners) {
    if (auto runner = weak.lock()) {
      runner->RequestStop();
      runner->Wake();
    }
  }
  std::unique_lock lock(workers.mutex);
  workers.cv.wait(lock, [&workers] { return workers.running == 0; });
}

}  // namespace nevlora

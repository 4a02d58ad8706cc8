#include "engine/twitter_runner.h"

#include <ctime>

#include "diag/logging.h"
#include "engine/new_message_cycle.h"
#include "engine/saved_search_cycle.h"
#include "settings/account.h"
#include "store/outlook_access.h"

namespace nevlora {

namespace {
constexpr int kRepliesOnly = 1;
constexpr int kRepliesAndDirect = 3;
constexpr std::int64_t kSearchIntervalSeconds = 300;
constexpr std::int64_t kDirectIntervalMinutes = 5;

// The application reference of the worker running on this thread. Every
// worker has its own, so one left behind by a Stop that gave up never shares
// it with the runner's next worker.
thread_local ComPtr<_Application> t_application;
}  // namespace

CTwitterRunner::~CTwitterRunner() {
  // A stream the worker never picked up holds a reference to the
  // application; it goes with the runner.
  std::lock_guard lock(m_appLock);
  m_marshalledApplication.Reset();
}

int CTwitterRunner::CycleMinutes(std::int32_t pollFrequency) {
  int frequency = pollFrequency;
  if (frequency > 60 || frequency < 1) frequency = 1;
  if (frequency == 1) frequency = 2;
  return frequency;
}

std::int64_t CTwitterRunner::Now() const {
  if (m_timing.now) return m_timing.now();
  return static_cast<std::int64_t>(std::time(nullptr));
}

ComPtr<_Application> CTwitterRunner::Application() const {
  if (!OnOwnWorker()) return nullptr;
  return t_application;
}

HRESULT CTwitterRunner::Start() {
  ComPtr<_Application> app;
  GetOutlookApplication(app.put());
  ComPtr<IStream> stream;
  const HRESULT hr = CoMarshalInterThreadInterfaceInStream(IidOf<_Application>(), app.get(), stream.put());
  if (FAILED(hr)) LogCategory("oam").error("moa failed. 0x%lx", static_cast<unsigned long>(hr));
  {
    std::lock_guard lock(m_appLock);
    m_marshalledApplication = std::move(stream);
  }
  app.Reset();
  if (!StartThread()) LogCategory("twr").error("run: no worker started (the runner must be shared to start)");
  return S_OK;
}

void CTwitterRunner::RunNewMessageCycle(int mask) { CheckNewMessages(*this, false, nullptr, mask); }

void CTwitterRunner::RunSearchCycle() { RunSavedSearches(*this); }

void CTwitterRunner::TakeMarshalledApplication() {
  ComPtr<IStream> stream;
  {
    std::lock_guard lock(m_appLock);
    stream = std::move(m_marshalledApplication);
  }
  if (!stream || t_application) return;
  const HRESULT hr =
      CoGetInterfaceAndReleaseStream(stream.Detach(), IidOf<_Application>(), t_application.put_void());
  if (!t_application) LogCategory("oam").error("umoa failed. 0x%lx", static_cast<unsigned long>(hr));
}

DWORD CTwitterRunner::Run() {
  const auto event = WakeEvent();
  auto wait = [&event](std::chrono::milliseconds ms) {
    if (event) event->Wait(ms);
  };
  wait(m_timing.firstWait);
  if (!StopRequested()) {
    t_application.Reset();
    TakeMarshalledApplication();
    std::int64_t lastDirect = 0, lastCycle = 0, lastSearch = 0;
    for (;;) {
      int mask = kRepliesOnly;
      CTwitterAccount& account = GetAccount();
      int frequency;
      std::int64_t directInterval;
      {
        auto guard = account.Lock();
        frequency = CycleMinutes(account.PollFrequency);
        directInterval = account.FetchFriendTimeline ? kDirectIntervalMinutes : frequency;
      }
      wait(m_timing.passWait);
      if (StopRequested()) break;
      bool polling;
      {
        auto guard = account.Lock();
        polling = account.PollForNewTweets;
      }
      // One clock reading per pass; all comparisons strict.
      const std::int64_t now = Now();
      if (now - lastDirect > directInterval * 60) {
        mask = kRepliesAndDirect;
        lastDirect = now;
      }
      if (polling && now - lastCycle > static_cast<std::int64_t>(frequency) * 60) {
        RunNewMessageCycle(mask);
        lastCycle = now;
      }
      if (StopRequested()) break;
      if (now - lastSearch < 0 || now - lastSearch <= kSearchIntervalSeconds) continue;
      RunSearchCycle();
      lastSearch = now;
      if (StopRequested()) break;
    }
  }
  t_application.Reset();
  return 0;
}

}  // namespace nevlora

#include "store/outlook_access.h"

#include <atomic>
#include <mutex>

#include "platform/com/com_ptr.h"

namespace {

std::mutex g_mutex;
ComPtr<_Application> g_application;
std::atomic<int> g_majorVersion{0};
std::atomic<DWORD> g_uiThread{0};

// The digits before the first non-digit.
int LeadingNumber(const std::u16string& text) {
  int n = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9' || n > 100000) break;
    n = n * 10 + (c - u'0');
  }
  return n;
}

}  // namespace

void SetOutlookApplication(_Application* application) {
  ComPtr<_Application> previous;  // released outside the lock
  {
    std::lock_guard lock(g_mutex);
    previous = std::move(g_application);
    g_application = ComPtr<_Application>(application);
    g_uiThread = GetCurrentThreadId();
  }
  if (application && g_majorVersion.load() == 0) {
    BSTR version;
    if (SUCCEEDED(application->get_Version(&version))) {
      int expected = 0;
      g_majorVersion.compare_exchange_strong(expected, LeadingNumber(version));
    }
  }
}

HRESULT GetOutlookApplication(_Application** application) {
  if (!application) return E_POINTER;
  std::lock_guard lock(g_mutex);
  *application = nullptr;
  if (!g_application) return E_POINTER;
  return g_application.CopyTo(application);
}

int OutlookMajorVersion() { return g_majorVersion.load(); }

DWORD OutlookUiThreadId() { return g_uiThread.load(); }

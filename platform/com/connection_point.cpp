#include "platform/com/connection_point.h"

HRESULT CConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = eventIid_;
  return S_OK;
}

HRESULT CConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  ComPtr<IUnknown> asEvents;
  if (FAILED(sink->QueryInterface(eventIid_, asEvents.put_void())) || !asEvents) return CONNECT_E_CANNOTCONNECT;
  std::lock_guard lock(mutex_);
  *cookie = nextCookie_++;
  connections_.push_back({*cookie, std::move(asEvents)});
  return S_OK;
}

HRESULT CConnectionPoint::Unadvise(DWORD cookie) {
  ComPtr<IUnknown> dropped;  // released outside the lock
  std::lock_guard lock(mutex_);
  for (auto it = connections_.begin(); it != connections_.end(); ++it) {
    if (it->cookie == cookie) {
      dropped = std::move(it->sink);
      connections_.erase(it);
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

std::vector<ComPtr<IUnknown>> CConnectionPoint::Sinks() const {
  std::lock_guard lock(mutex_);
  std::vector<ComPtr<IUnknown>> sinks;
  sinks.reserve(connections_.size());
  for (const auto& c : connections_) sinks.push_back(c.sink);
  return sinks;
}

// Event sources: a sink is advised to a connection point and gets a cookie;
// unadvising by that cookie drops it. The source calls every sink that is
// advised when the event fires, from a snapshot, so a sink may unadvise
// itself (or another) while it handles the event.
#pragma once

#include <mutex>
#include <vector>

#include "platform/com/com_object.h"

struct IConnectionPoint : IUnknown {
  static constexpr IID kIid = {0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

  virtual HRESULT GetConnectionInterface(IID* iid) = 0;
  // Queries `sink` for the event interface; CONNECT_E_CANNOTCONNECT when it
  // does not implement it. Cookies start at 1 and are never reused.
  virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
  // CONNECT_E_NOCONNECTION for a cookie that is not advised.
  virtual HRESULT Unadvise(DWORD cookie) = 0;
};

struct IConnectionPointContainer : IUnknown {
  static constexpr IID kIid = {0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

  // CONNECT_E_NOCONNECTION when the object has no such event interface.
  virtual HRESULT FindConnectionPoint(REFIID eventIid, IConnectionPoint** point) = 0;
};

// The connection point an event source keeps per event interface.
class CConnectionPoint : public ComObject<IConnectionPoint> {
 public:
  explicit CConnectionPoint(const IID& eventIid) : eventIid_(eventIid) {}

  HRESULT GetConnectionInterface(IID* iid) override;
  HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT Unadvise(DWORD cookie) override;

  // The advised sinks, each as the event interface.
  std::vector<ComPtr<IUnknown>> Sinks() const;

  // Calls fn(Sink*) for every advised sink (Sink is the event interface).
  template <class Sink, class Fn>
  void Fire(Fn&& fn) const {
    for (const auto& sink : Sinks()) fn(static_cast<Sink*>(sink.get()));
  }

 private:
  struct Connection {
    DWORD cookie;
    ComPtr<IUnknown> sink;
  };
  const IID eventIid_;
  mutable std::mutex mutex_;
  std::vector<Connection> connections_;
  DWORD nextCookie_ = 1;
};

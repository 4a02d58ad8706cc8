// IUnknown: the reference-counted interface every COM object exposes, with
// the result codes COM callers test. Interfaces are abstract classes whose
// static member kIid is their interface id; an interface that extends
// another than IUnknown names it as BaseInterface so that QueryInterface
// answers for the base as well.
#pragma once

#include "platform/com/guid.h"
#include "platform/win32.h"

constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106);
constexpr HRESULT CONNECT_E_NOCONNECTION = static_cast<HRESULT>(0x80040200);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = static_cast<HRESULT>(0x80040202);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000B);
constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001);
constexpr HRESULT STG_E_ACCESSDENIED = static_cast<HRESULT>(0x80030005);

struct IUnknown {
  static constexpr IID kIid = OleGuid(0x00000000);

  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  // Objects end themselves in Release; nobody deletes through an interface.
  ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

constexpr IID IID_IUnknown = IUnknown::kIid;

// The interface id of an interface type, as __uuidof gives it on Windows.
template <class I>
constexpr const IID& IidOf() {
  return I::kIid;
}

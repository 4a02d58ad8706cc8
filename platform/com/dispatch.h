// IDispatch, small: late-bound calls by dispatch id. The object model's
// interfaces extend it, as Outlook's dual interfaces do, so an item's
// properties can also be read by id (the MAPI object is id 0xF100) and event
// sinks receive their events through Invoke.
#pragma once

#include <vector>

#include "platform/com/variant.h"

using DISPID = LONG;

constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;

// Arguments in call order (unlike Windows, which passes them reversed).
struct DISPPARAMS {
  std::vector<VARIANT> args;
};

struct IDispatch : IUnknown {
  static constexpr IID kIid = OleGuid(0x00020400);

  // DISP_E_MEMBERNOTFOUND for an id the object does not know.
  virtual HRESULT Invoke(DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result) = 0;
};
using LPDISPATCH = IDispatch*;

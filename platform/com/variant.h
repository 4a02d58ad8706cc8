// VARIANT, small: the argument and property values the object model passes
// (text, numbers, flags, object references) and the "omitted" marker of an
// optional argument. Text is a BSTR, held as a UTF-16 string.
#pragma once

#include <string>

#include "platform/com/com_ptr.h"

using BSTR = std::u16string;
using VARTYPE = unsigned short;
using VARIANT_BOOL = short;
using DATE = double;  // days since 1899-12-30, as OLE automation keeps dates

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

enum : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R8 = 5,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_UNKNOWN = 13,
  VT_I8 = 20,
};

// Only the member named by vt is meaningful.
struct VARIANT {
  VARTYPE vt = VT_EMPTY;
  LONG lVal = 0;              // VT_I2, VT_I4
  LONGLONG llVal = 0;         // VT_I8
  double dblVal = 0;          // VT_R8, VT_DATE
  VARIANT_BOOL boolVal = 0;   // VT_BOOL
  HRESULT scode = 0;          // VT_ERROR
  BSTR bstrVal;               // VT_BSTR
  ComPtr<IUnknown> punkVal;   // VT_UNKNOWN, VT_DISPATCH
};

// An optional argument the caller leaves out (VT_ERROR, DISP_E_PARAMNOTFOUND).
VARIANT VariantOmitted();
VARIANT VariantText(std::u16string text);
VARIANT VariantLong(LONG value);
VARIANT VariantBool(bool value);
VARIANT VariantUnknown(IUnknown* object);

// True for an omitted argument and for VT_EMPTY.
bool IsVariantOmitted(const VARIANT& v);
// The value as text (text as is, numbers in decimal, flags "True"/"False");
// DISP_E_TYPEMISMATCH for other kinds.
HRESULT VariantToText(const VARIANT& v, BSTR* text);
// The value as a number (numbers, flags as -1/0, decimal text);
// DISP_E_TYPEMISMATCH for other kinds and for text that is not a number.
HRESULT VariantToLong(const VARIANT& v, LONG* value);

#include "platform/com/variant.h"

#include "platform/text.h"

VARIANT VariantOmitted() {
  VARIANT v;
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}

VARIANT VariantText(std::u16string text) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = std::move(text);
  return v;
}

VARIANT VariantLong(LONG value) {
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT VariantBool(bool value) {
  VARIANT v;
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

VARIANT VariantUnknown(IUnknown* object) {
  VARIANT v;
  v.vt = VT_UNKNOWN;
  v.punkVal = ComPtr<IUnknown>(object);
  return v;
}

bool IsVariantOmitted(const VARIANT& v) {
  return v.vt == VT_EMPTY || (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND);
}

HRESULT VariantToText(const VARIANT& v, BSTR* text) {
  if (!text) return E_POINTER;
  switch (v.vt) {
    case VT_BSTR:
      *text = v.bstrVal;
      return S_OK;
    case VT_I2:
    case VT_I4:
      *text = ToDecimalW(v.lVal);
      return S_OK;
    case VT_I8:
      *text = ToDecimalW(v.llVal);
      return S_OK;
    case VT_BOOL:
      *text = v.boolVal ? u"True" : u"False";
      return S_OK;
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT VariantToLong(const VARIANT& v, LONG* value) {
  if (!value) return E_POINTER;
  switch (v.vt) {
    case VT_I2:
    case VT_I4:
      *value = v.lVal;
      return S_OK;
    case VT_I8:
      if (v.llVal < INT32_MIN || v.llVal > INT32_MAX) return DISP_E_TYPEMISMATCH;
      *value = static_cast<LONG>(v.llVal);
      return S_OK;
    case VT_BOOL:
      *value = v.boolVal ? -1 : 0;
      return S_OK;
    case VT_BSTR: {
      const std::u16string& s = v.bstrVal;
      if (s.empty()) return DISP_E_TYPEMISMATCH;
      std::size_t i = s[0] == u'-' && s.size() > 1 ? 1 : 0;
      for (; i < s.size(); ++i)
        if (s[i] < u'0' || s[i] > u'9') return DISP_E_TYPEMISMATCH;
      const std::int64_t n = ParseInt64W(s);
      if (n < INT32_MIN || n > INT32_MAX) return DISP_E_TYPEMISMATCH;
      *value = static_cast<LONG>(n);
      return S_OK;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

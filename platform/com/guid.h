// Globally unique identifiers as COM uses them: interface ids, class ids and
// the text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" kept in the registry.
#pragma once

#include <cstdint>

#include "platform/win32.h"

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPCIID = const IID*;

constexpr bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}
constexpr bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
constexpr bool IsEqualIID(REFIID a, REFIID b) { return a == b; }

// The ids of the form {xxxxxxxx-0000-0000-C000-000000000046} that the OLE,
// MAPI and Outlook type libraries use for their own interfaces.
constexpr GUID OleGuid(std::uint32_t data1) { return GUID{data1, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}; }

// Writes the braced text form into `text` (at least 39 units); returns the
// number of units written including the NUL, or 0 when the buffer is short.
int StringFromGUID2(REFGUID guid, LPWSTR text, int capacity);
// Parses the braced text form (hex digits in either case).
HRESULT CLSIDFromString(LPCWSTR text, CLSID* clsid);
HRESULT IIDFromString(LPCWSTR text, IID* iid);

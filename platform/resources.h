// Resources embedded in the program (FindResourceW, LoadResource,
// LockResource, SizeofResource). The build turns files into resources with
// cmake/EmbedResources.cmake; each resource has a type and an id, each either
// a number or a name, compared the way Windows does: numbers as numbers,
// names without case, and a name "#123" is the number 123.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/module.h"

namespace platform {

// One embedded resource. Type and name are stored in their normal form:
// "#123" for a number, the upper-case name otherwise.
struct ResourceEntry {
  const char16_t* type;
  const char16_t* name;
  const unsigned char* data;
  std::size_t size;
};

// Makes a table of resources findable for the life of the program; the
// generated sources create one of these per table at start-up.
class ResourceRegistration {
 public:
  ResourceRegistration(const ResourceEntry* entries, std::size_t count);
};

}  // namespace platform

using HRSRC = const platform::ResourceEntry*;
using HGLOBAL = const void*;

// Numbers stand in for names the Win32 way: a "pointer" below 0x10000.
inline LPCWSTR MAKEINTRESOURCEW(WORD id) { return reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(id)); }
inline bool IS_INTRESOURCE(LPCWSTR p) { return (reinterpret_cast<std::uintptr_t>(p) >> 16) == 0; }

constexpr WORD RT_BITMAP_ID = 2;
constexpr WORD RT_ICON_ID = 3;
constexpr WORD RT_DIALOG_ID = 5;
constexpr WORD RT_GROUP_ICON_ID = 14;

// Every program's resources are one set here, so `module` is not used to
// tell them apart (the program and its shared objects see the same set).
// Null with ERROR_RESOURCE_TYPE_NOT_FOUND / ERROR_RESOURCE_NAME_NOT_FOUND
// when nothing matches.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
const void* LockResource(HGLOBAL loaded);
DWORD SizeofResource(HMODULE module, HRSRC resource);

constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

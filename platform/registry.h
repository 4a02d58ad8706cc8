// The Windows registry for the add-in: HKEY_CURRENT_USER and HKEY_CLASSES_ROOT
// as file-backed hives in the .reg text format under the user's config folder
// ($XDG_CONFIG_HOME/wrenvia/, default ~/.config/wrenvia/), behind the Win32
// calls and error codes the add-in is written against.
//
// Writes are buffered per hive and made durable when a key that was written
// through is closed and no other key that wrote to the same hive is still
// open (so a key and its subkeys written together cost one durable write),
// or by RegFlushKey: the hive is locked, re-read, the
// pending changes are merged in, and the result replaces the file atomically.
// Writes made directly through HKEY_CURRENT_USER or HKEY_CLASSES_ROOT, which
// are never closed, are made durable at once. When that write fails, the
// call (RegCloseKey, RegFlushKey, or the write itself) returns
// ERROR_CANTWRITE (ERROR_CANTREAD when the file there cannot be read); the
// key is closed all the same, and the changes stay pending in this process,
// visible to its reads, until the next durable write of that hive succeeds.
//
// Reads see the file as last replaced by any process plus this process's
// pending changes. A hive file that cannot be parsed is renamed aside
// ("<hive>.reg.corrupt-<unix time>"), logged, and the hive starts empty.
//
// Handles name a key by its path: a handle whose key was deleted (here or by
// another process) fails with ERROR_KEY_DELETED. Closed or unknown handles
// fail with ERROR_INVALID_HANDLE; handle values are never reused. Access
// rights are enforced only for writing: setting or deleting a value needs
// KEY_SET_VALUE, creating a subkey KEY_CREATE_SUB_KEY. All calls are safe
// from any thread.
#pragma once

#include <string>

#include "platform/win32.h"

struct RegKeyHandle;
using HKEY = RegKeyHandle*;
using REGSAM = DWORD;

// Predefined roots, with their Windows values.
#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u)))

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights (recorded, not enforced beyond read/write).
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Key paths use "\" between levels and compare without case, as on Windows.
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM sam, HKEY* result);
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM sam,
                     const void* security, HKEY* result, DWORD* disposition);
LONG RegCloseKey(HKEY key);
LONG RegFlushKey(HKEY key);

// data null: only the size (and type) is reported. Buffer too small:
// ERROR_MORE_DATA with *cbData set to the size needed. Missing value:
// ERROR_FILE_NOT_FOUND.
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* cbData);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD cbData);
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);

// Subkey names in a stable order (the order of creation on disk). cchName is
// in UTF-16 units, including the terminating NUL on input; on success it is
// the length without it. ERROR_NO_MORE_ITEMS past the end.
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, DWORD* cchName, DWORD* reserved, LPWSTR keyClass,
                   DWORD* cchClass, FILETIME* lastWriteTime);
// Values in a stable order; cchName as above, data as in RegQueryValueExW.
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, DWORD* cchName, DWORD* reserved, DWORD* type, BYTE* data,
                   DWORD* cbData);
// Deletes a subkey that has no subkeys of its own (ERROR_ACCESS_DENIED otherwise).
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);
// Deletes a subkey and everything below it; a null subKey deletes the values
// and subkeys of key itself.
LONG RegDeleteTreeW(HKEY key, LPCWSTR subKey);

namespace platform {
// The folder the hives, the data-protection key and other per-user
// configuration live in: $XDG_CONFIG_HOME/wrenvia, default ~/.config/wrenvia.
std::string ConfigFolder();
// Test hook: forget every loaded hive so the next call reads the files again
// (used when a test points XDG_CONFIG_HOME elsewhere). Pending writes of keys
// still open are dropped.
void ResetRegistryForTests();
}  // namespace platform

namespace platform::testing {
// Test hook: the next `count` durable hive writes fail just before the new
// file would be renamed into place (the old file stays as it was).
void SetRegistryWriteFailpoint(int count);
}  // namespace platform::testing

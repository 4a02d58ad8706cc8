// Module handles and file names (GetModuleHandleExW / GetModuleFileNameW).
// A module is the program or a shared object loaded into it; its handle is
// the address it is loaded at.
#pragma once

#include <string>

#include "platform/win32.h"

using HMODULE = void*;
using HINSTANCE = HMODULE;

// The module that holds `address` (code or data), as GetModuleHandleExW does
// with GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS; null when no module holds it.
HMODULE GetModuleHandleFromAddress(const void* address);

// The full path of a module's file; a null module is the program. Win32
// semantics: the number of units copied without the NUL; a path that does
// not fit is cut to size - 1 units, size is returned and the last error is
// ERROR_INSUFFICIENT_BUFFER; 0 on failure.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

namespace platform {
// The same as strings; empty on failure.
std::u16string ModuleFileName(HMODULE module);
// The folder of a module's file, without a trailing separator.
std::u16string ModuleFolder(HMODULE module);
}  // namespace platform

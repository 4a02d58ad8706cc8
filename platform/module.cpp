#include "platform/module.h"

#include <dlfcn.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/text.h"

namespace {

// The load address of the program itself: the module that holds its program
// headers.
HMODULE ProgramHandle() {
  const auto phdr = reinterpret_cast<const void*>(getauxval(AT_PHDR));
  Dl_info info{};
  if (phdr && dladdr(phdr, &info) != 0) return info.dli_fbase;
  return nullptr;
}

std::string ProgramPath() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<std::size_t>(n));
}

std::string ModulePath(HMODULE module) {
  if (module == nullptr || module == ProgramHandle()) return ProgramPath();
  Dl_info info{};
  if (dladdr(module, &info) == 0 || info.dli_fbase != module || !info.dli_fname || !*info.dli_fname) return {};
  // A shared object opened by a relative name keeps that name; the file it
  // came from is what callers want.
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved)) return resolved;
  return info.dli_fname;
}

}  // namespace

HMODULE GetModuleHandleFromAddress(const void* address) {
  Dl_info info{};
  if (!address || dladdr(address, &info) == 0) return nullptr;
  return info.dli_fbase;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  const std::string path = ModulePath(module);
  if (path.empty()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!buffer || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const std::u16string wide = Utf8ToUtf16(path);
  if (wide.size() + 1 > size) {
    std::memcpy(buffer, wide.data(), (size - 1) * sizeof(char16_t));
    buffer[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(wide.size());
}

namespace platform {

std::u16string ModuleFileName(HMODULE module) { return Utf8ToUtf16(ModulePath(module)); }

std::u16string ModuleFolder(HMODULE module) {
  std::u16string path = ModuleFileName(module);
  const auto slash = path.find_last_of(u'/');
  if (slash == std::u16string::npos) return {};
  path.resize(slash == 0 ? 1 : slash);
  return path;
}

}  // namespace platform

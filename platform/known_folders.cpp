#include "platform/known_folders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/text.h"

namespace {

DWORD Win32FromErrno(int e) {
  switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_WRITE_FAULT;
  }
}

}  // namespace

namespace platform {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home == '/') return home;
  // Services and cron jobs may run without HOME: the account's own entry.
  const passwd* pw = ::getpwuid(::getuid());
  if (pw && pw->pw_dir && *pw->pw_dir == '/') return pw->pw_dir;
  return {};
}

bool MakeFolders(const std::string& path, unsigned mode, bool durable) {
  if (path.empty()) return false;
  std::vector<std::string> created;
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    if (path[i - 1] == '/') continue;  // "a//b", or a trailing "/"
    const std::string part = path.substr(0, i);
    if (::mkdir(part.c_str(), static_cast<mode_t>(mode)) == 0) {
      created.push_back(part);
      continue;
    }
    // An existing folder may answer with another error than EEXIST (a
    // read-only mount, a parent we may not write to); only a missing one
    // ends the chain.
    struct stat st;
    if (errno != EEXIST && (::stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) return false;
  }
  if (durable)
    for (const std::string& folder : created) SyncFolder(FolderOf(folder));
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string XdgFolder(const char* variable, const char* defaultUnderHome) {
  const char* v = std::getenv(variable);
  if (v && *v == '/') return v;
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return home + "/" + defaultUnderHome;
}

}  // namespace platform

HRESULT SHGetFolderPathW(void*, int csidl, void*, DWORD, LPWSTR path) {
  if (!path) return E_INVALIDARG;
  path[0] = 0;
  if ((csidl & 0xFF) != CSIDL_LOCAL_APPDATA) return E_INVALIDARG;
  const std::string folder = platform::XdgFolder("XDG_DATA_HOME", ".local/share");
  if (folder.empty()) return E_FAIL;
  if (csidl & CSIDL_FLAG_CREATE) platform::MakeFolders(folder, 0700);
  const std::u16string w = Utf8ToUtf16(folder);
  if (w.size() + 1 > static_cast<std::size_t>(MAX_PATH)) return E_FAIL;
  std::memcpy(path, w.c_str(), (w.size() + 1) * sizeof(char16_t));
  return S_OK;
}

BOOL CreateDirectoryW(LPCWSTR path, const void*) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (::mkdir(Utf16ToUtf8(path).c_str(), 0700) != 0) {
    SetLastError(Win32FromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR path) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (::unlink(Utf16ToUtf8(path).c_str()) != 0) {
    SetLastError(Win32FromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR path) {
  struct stat st;
  if (!path || ::stat(Utf16ToUtf8(path).c_str(), &st) != 0) {
    SetLastError(Win32FromErrno(errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

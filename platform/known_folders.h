// Shell folders and file-system calls the add-in uses, over the XDG folders.
#pragma once

#include <string>

#include "platform/win32.h"

constexpr int MAX_PATH = 260;
constexpr int CSIDL_LOCAL_APPDATA = 0x001c;
constexpr int CSIDL_FLAG_CREATE = 0x8000;
// Path separator of this platform; the add-in's own "\" becomes this.
constexpr char16_t kPathSeparator = u'/';

// CSIDL_LOCAL_APPDATA is $XDG_DATA_HOME, default ~/.local/share. With
// CSIDL_FLAG_CREATE the folder is created when missing. `path` receives at
// most MAX_PATH units including the NUL; a longer path fails with E_FAIL and
// leaves `path` empty.
HRESULT SHGetFolderPathW(void* hwnd, int csidl, void* token, DWORD flags, LPWSTR path);

// Win32-shaped file calls on UTF-16 paths (TRUE/FALSE, GetLastError).
BOOL CreateDirectoryW(LPCWSTR path, const void* security);
BOOL DeleteFileW(LPCWSTR path);
DWORD GetFileAttributesW(LPCWSTR path);
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

namespace platform {
// The user's home folder: $HOME, else the account's entry ("" when neither).
std::string HomeFolder();
// Environment folder with its XDG default under the home folder ("" when
// neither is known).
std::string XdgFolder(const char* variable, const char* defaultUnderHome);
// Creates a folder and every missing parent ("mkdir -p") with the
// permission bits `mode` (less the umask); true when `path` is a folder
// afterwards. With `durable`, each folder it created is flushed into its
// parent, so that a crash does not lose it.
bool MakeFolders(const std::string& path, unsigned mode, bool durable = false);
}  // namespace platform

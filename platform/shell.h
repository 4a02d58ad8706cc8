// The shell's "open" verb (ShellExecuteW) over xdg-open, and the file-type
// registration that lets "*.hta" pages (HTML applications) open as web pages.
#pragma once

#include <cstdint>
#include <string>

#include "platform/module.h"

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

// ShellExecuteW results at or below 32 are errors.
constexpr std::intptr_t SE_ERR_FNF = 2;
constexpr std::intptr_t SE_ERR_ACCESSDENIED = 5;
constexpr std::intptr_t SE_ERR_OOM = 8;
constexpr std::intptr_t SE_ERR_NOASSOC = 31;

// Opens a file or a web address with the user's program for it: "open" (or
// no verb) only. The opener (xdg-open) is started detached in a session of
// its own and never waited for, so the call returns at once; the result
// reports only whether it was started:
//   > 32            the opener was started;
//   SE_ERR_FNF      a file that does not exist;
//   SE_ERR_NOASSOC  another verb, no xdg-open on the PATH, or no desktop
//                   (neither DISPLAY, WAYLAND_DISPLAY nor BROWSER is set: a
//                   text-mode browser started without a terminal would hang
//                   unseen);
//   SE_ERR_OOM      the process could not be created.
// `hwnd`, `parameters` and `show` have no use here; `directory` is the
// opener's working folder when given. A "*.hta" file first gets the
// registration below.
HINSTANCE ShellExecuteW(void* hwnd, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, int show);

namespace platform {

inline bool ShellExecuteSucceeded(HINSTANCE result) { return reinterpret_cast<std::intptr_t>(result) > 32; }

// Windows shows an HTML application ("*.hta") in its own host; here the
// user's web browser shows it, which needs the browser and the desktop to
// take "*.hta" as "text/html". This registers that for the current user:
//  - $XDG_DATA_HOME/mime/packages/wrenvia-hta.xml maps the glob to
//    text/html in the shared MIME database (read by xdg-open, GIO, KDE and
//    Chromium-based browsers), followed by update-mime-database;
//  - ~/.mime.types gets "text/html hta" unless it already names the
//    extension (read first by Firefox, whose system-wide /etc/mime.types
//    calls it application/hta).
// Nothing is rewritten when it is already in place. With `waitForDatabase`
// false, a needed database update is left to the caller (`*updateNeeded`).
// Returns false when a file could not be written.
bool RegisterHtmlApplicationType(bool waitForDatabase, bool* updateNeeded = nullptr);

}  // namespace platform

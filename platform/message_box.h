// MessageBoxW: shown by whichever front end runs. The command line prints the
// message; a desktop window shows a real box; tests capture it.
#pragma once

#include <functional>
#include <string>

#include "platform/win32.h"

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONWARNING = 0x00000030;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

int MessageBoxW(void* owner, LPCWSTR text, LPCWSTR caption, UINT type);

namespace platform {
using MessageBoxHandler = std::function<int(const std::u16string& text, const std::u16string& caption, UINT type)>;
// Replaces the front end's message box; returns the previous one. The default
// writes "caption: text" to standard error and answers IDOK (or IDYES).
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
}  // namespace platform

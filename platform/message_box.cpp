#include "platform/message_box.h"

#include <cstdio>
#include <mutex>

#include "platform/text.h"

namespace {

int PrintToStderr(const std::u16string& text, const std::u16string& caption, UINT type) {
  std::fprintf(stderr, "%s: %s\n", Utf16ToUtf8(caption).c_str(), Utf16ToUtf8(text).c_str());
  const UINT buttons = type & 0x0F;
  return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
}

std::mutex g_mutex;
platform::MessageBoxHandler g_handler = PrintToStderr;

}  // namespace

int MessageBoxW(void*, LPCWSTR text, LPCWSTR caption, UINT type) {
  platform::MessageBoxHandler handler;
  {
    std::lock_guard lock(g_mutex);
    handler = g_handler;
  }
  return handler(text ? text : u"", caption ? caption : u"", type);
}

namespace platform {
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard lock(g_mutex);
  MessageBoxHandler old = std::move(g_handler);
  g_handler = handler ? std::move(handler) : MessageBoxHandler(PrintToStderr);
  return old;
}
}  // namespace platform

#include "diag/logging.h"

#include <log4cpp/PatternLayout.hh>
#include <log4cpp/Priority.hh>
#include <log4cpp/RollingFileAppender.hh>
#include <sys/stat.h>

#include "diag/data_folder.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace {
constexpr char16_t kOptionsKey[] = u"SOFTWARE\\Nevlora.com\\Wrenvia\\Options";
constexpr char kPattern[] = "%d [%c] [%t] %p %c %x - %m%n";
constexpr std::size_t kMaxFileSize = 10485760;
constexpr unsigned kBackups = 5;
// The log can hold private messages at debug level, so only the user may
// read it.
constexpr mode_t kLogMode = 0600;

bool DebugLogEnabled() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kOptionsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD value = 0;
  DWORD size = sizeof value;
  const LONG rc = RegQueryValueExW(key, u"DebugLog", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS && value != 0;
}
}  // namespace

namespace {
std::u16string LogFolder() { return NativePath(GetDataFolder() + u"/Logs/"); }
}  // namespace

std::u16string LogFilePath() { return LogFolder() + u"Wrenvia.log"; }

void InitLogging() {
  const auto priority = DebugLogEnabled() ? log4cpp::Priority::DEBUG : log4cpp::Priority::NOTICE;
  CreateFolderChain(LogFolder());
  const std::string file = Utf16ToAnsi(LogFilePath());

  auto* appender = new log4cpp::RollingFileAppender("default", file, kMaxFileSize, kBackups, true, kLogMode);
  ::chmod(file.c_str(), kLogMode);  // a file left by an older build may carry 0644
  auto* layout = new log4cpp::PatternLayout();
  layout->setConversionPattern(kPattern);
  appender->setLayout(layout);

  log4cpp::Category& root = log4cpp::Category::getRoot();
  root.removeAllAppenders();
  root.addAppender(appender);
  root.setPriority(priority);
}

// Collects the log lines written while it lives (the message text and its
// priority), so a test can check what was logged, at which level, and that
// nothing secret was.
#pragma once

#include <log4cpp/Priority.hh>

#include <string>
#include <vector>

namespace log4cpp {
class Category;
}  // namespace log4cpp

namespace testing_support {

class CaptureAppender;

class LogCapture {
 public:
  struct Entry {
    log4cpp::Priority::Value priority;
    std::string message;
  };

  // Captures the named category and its children; empty: everything (root).
  // Lines down to debug level are taken while the capture lives.
  explicit LogCapture(const std::string& category = "");
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Lines captured so far, oldest first; kept until Clear().
  std::vector<std::string> Lines();
  // The same with their priorities.
  std::vector<Entry> Entries();
  // True when a line equals `line`.
  bool Has(const std::string& line);
  // True when a line contains `text`.
  bool Contains(const std::string& text);
  // As Has and Contains, for lines logged at exactly `priority`
  // (log4cpp::Priority::DEBUG, ERROR, ...).
  bool HasAt(log4cpp::Priority::Value priority, const std::string& line);
  bool ContainsAt(log4cpp::Priority::Value priority, const std::string& text);
  // The captured lines joined with newlines, each after its priority name,
  // for failure messages.
  std::string Text();
  void Clear();

 private:
  log4cpp::Category& category_;
  CaptureAppender* appender_;
  int savedPriority_;
};

}  // namespace testing_support

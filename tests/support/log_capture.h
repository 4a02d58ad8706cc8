// Collects the log lines written while it lives (the message text only), so
// a test can check what was logged, and that nothing secret was.
#pragma once

#include <string>
#include <vector>

namespace log4cpp {
class Category;
class StringQueueAppender;
}  // namespace log4cpp

namespace testing_support {

class LogCapture {
 public:
  // Captures the named category and its children; empty: everything (root).
  // Lines down to debug level are taken while the capture lives.
  explicit LogCapture(const std::string& category = "");
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Lines captured so far, oldest first; kept until Clear().
  std::vector<std::string> Lines();
  // True when a line equals `line`.
  bool Has(const std::string& line);
  // True when a line contains `text`.
  bool Contains(const std::string& text);
  // The captured lines joined with newlines, for failure messages.
  std::string Text();
  void Clear();

 private:
  void Drain();

  log4cpp::Category& category_;
  log4cpp::StringQueueAppender* appender_;
  int savedPriority_;
  std::vector<std::string> lines_;
};

}  // namespace testing_support

#include "tests/support/log_capture.h"

#include <log4cpp/AppenderSkeleton.hh>
#include <log4cpp/Category.hh>
#include <log4cpp/Layout.hh>

#include <mutex>

namespace testing_support {

// Keeps each event's message and priority; a worker thread may log while the
// test reads.
class CaptureAppender : public log4cpp::AppenderSkeleton {
 public:
  CaptureAppender() : log4cpp::AppenderSkeleton("test-capture") {}

  std::vector<LogCapture::Entry> Entries() {
    std::lock_guard lock(mutex_);
    return entries_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
  }

  void close() override {}
  bool requiresLayout() const override { return false; }
  void setLayout(log4cpp::Layout* layout) override { delete layout; }

 protected:
  void _append(const log4cpp::LoggingEvent& event) override {
    std::lock_guard lock(mutex_);
    entries_.push_back({event.priority, event.message});
  }

 private:
  std::mutex mutex_;
  std::vector<LogCapture::Entry> entries_;
};

namespace {
log4cpp::Category& CategoryNamed(const std::string& name) {
  return name.empty() ? log4cpp::Category::getRoot() : log4cpp::Category::getInstance(name);
}
}  // namespace

LogCapture::LogCapture(const std::string& category)
    : category_(CategoryNamed(category)), appender_(new CaptureAppender()), savedPriority_(category_.getPriority()) {
  category_.addAppender(appender_);  // the category owns it from here
  category_.setPriority(log4cpp::Priority::DEBUG);
}

LogCapture::~LogCapture() {
  category_.setPriority(savedPriority_);
  category_.removeAppender(appender_);
}

std::vector<LogCapture::Entry> LogCapture::Entries() { return appender_->Entries(); }

std::vector<std::string> LogCapture::Lines() {
  std::vector<std::string> lines;
  for (auto& e : appender_->Entries()) lines.push_back(std::move(e.message));
  return lines;
}

bool LogCapture::Has(const std::string& line) {
  for (const auto& e : appender_->Entries())
    if (e.message == line) return true;
  return false;
}

bool LogCapture::Contains(const std::string& text) {
  for (const auto& e : appender_->Entries())
    if (e.message.find(text) != std::string::npos) return true;
  return false;
}

bool LogCapture::HasAt(log4cpp::Priority::Value priority, const std::string& line) {
  for (const auto& e : appender_->Entries())
    if (e.priority == priority && e.message == line) return true;
  return false;
}

bool LogCapture::ContainsAt(log4cpp::Priority::Value priority, const std::string& text) {
  for (const auto& e : appender_->Entries())
    if (e.priority == priority && e.message.find(text) != std::string::npos) return true;
  return false;
}

std::string LogCapture::Text() {
  std::string all;
  for (const auto& e : appender_->Entries())
    all += log4cpp::Priority::getPriorityName(e.priority) + " " + e.message + "\n";
  return all;
}

void LogCapture::Clear() { appender_->Clear(); }

}  // namespace testing_support

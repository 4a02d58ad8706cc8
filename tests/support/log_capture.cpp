#include "tests/support/log_capture.h"

#include <log4cpp/Category.hh>
#include <log4cpp/PatternLayout.hh>
#include <log4cpp/StringQueueAppender.hh>

namespace testing_support {

namespace {
log4cpp::Category& CategoryNamed(const std::string& name) {
  return name.empty() ? log4cpp::Category::getRoot() : log4cpp::Category::getInstance(name);
}
}  // namespace

LogCapture::LogCapture(const std::string& category)
    : category_(CategoryNamed(category)),
      appender_(new log4cpp::StringQueueAppender("test-capture")),
      savedPriority_(category_.getPriority()) {
  auto* layout = new log4cpp::PatternLayout();
  layout->setConversionPattern("%m");
  appender_->setLayout(layout);
  category_.addAppender(appender_);  // the category owns it from here
  category_.setPriority(log4cpp::Priority::DEBUG);
}

LogCapture::~LogCapture() {
  category_.setPriority(savedPriority_);
  category_.removeAppender(appender_);
}

void LogCapture::Drain() {
  auto& queue = appender_->getQueue();
  while (!queue.empty()) {
    lines_.push_back(queue.front());
    queue.pop();
  }
}

std::vector<std::string> LogCapture::Lines() {
  Drain();
  return lines_;
}

bool LogCapture::Has(const std::string& line) {
  Drain();
  for (const auto& l : lines_)
    if (l == line) return true;
  return false;
}

bool LogCapture::Contains(const std::string& text) {
  Drain();
  for (const auto& l : lines_)
    if (l.find(text) != std::string::npos) return true;
  return false;
}

std::string LogCapture::Text() {
  Drain();
  std::string all;
  for (const auto& l : lines_) all += l + "\n";
  return all;
}

void LogCapture::Clear() {
  Drain();
  lines_.clear();
}

}  // namespace testing_support

// Environment variables changed for the life of an object and put back
// afterwards, so that one test's TZ, PATH or DISPLAY never leaks into the
// next.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace testing_support {

// Sets `name` to `value` (or removes it, for null) until destroyed or
// restored.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() { Restore(); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  // Puts the old value back now; later calls do nothing.
  void Restore() {
    if (restored_) return;
    restored_ = true;
    if (old_)
      ::setenv(name_.c_str(), old_->c_str(), 1);
    else
      ::unsetenv(name_.c_str());
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
  bool restored_ = false;
};

// TZ for the life of the object, with the C library's zone rules reloaded
// on the way in and out.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) : tz_("TZ", zone) { ::tzset(); }
  ~ScopedTimeZone() {
    tz_.Restore();
    ::tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  ScopedEnv tz_;
};

}  // namespace testing_support

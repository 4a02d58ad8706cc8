#include "tests/support/temp_profile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/registry.h"

namespace testing_support {

namespace {
const char* const kVars[6] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "MAILDIR", "TMPDIR"};
}

TempProfile::TempProfile() {
  for (int i = 0; i < 6; ++i) {
    const char* v = std::getenv(kVars[i]);
    had_[i] = v != nullptr;
    if (v) saved_[i] = v;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/wrenvia-test-XXXXXX";
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  root_ = tmpl;
  Apply(root_);
}

void TempProfile::Apply(const std::string& base) {
  std::filesystem::create_directories(base + "/home");
  ::setenv("HOME", (base + "/home").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (base + "/cache").c_str(), 1);
  ::setenv("MAILDIR", (base + "/Maildir").c_str(), 1);
  platform::ResetRegistryForTests();
}

void TempProfile::SwitchUser(const std::string& name) {
  Apply(name.empty() ? root_ : root_ + "/users/" + name);
}

TempProfile::~TempProfile() {
  for (int i = 0; i < 6; ++i) {
    if (had_[i])
      ::setenv(kVars[i], saved_[i].c_str(), 1);
    else
      ::unsetenv(kVars[i]);
  }
  platform::ResetRegistryForTests();
  RemoveTree(root_);
}

void RemoveTree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << data;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

}  // namespace testing_support

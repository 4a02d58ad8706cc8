// A throw-away user profile for a test: HOME, the XDG folders and MAILDIR all
// point into a fresh temporary folder that is removed afterwards, so no test
// touches the real profile or another test's files.
#pragma once

#include <string>

namespace testing_support {

class TempProfile {
 public:
  TempProfile();
  ~TempProfile();
  TempProfile(const TempProfile&) = delete;
  TempProfile& operator=(const TempProfile&) = delete;

  const std::string& root() const { return root_; }
  std::string configDir() const { return root_ + "/config/wrenvia"; }
  std::string dataDir() const { return root_ + "/data"; }
  std::string cacheDir() const { return root_ + "/cache"; }
  std::string maildir() const { return root_ + "/Maildir"; }

  // Points the environment at another user's profile inside this one (for
  // "another Windows user" cases) and back.
  void SwitchUser(const std::string& name);

 private:
  void Apply(const std::string& base);
  std::string root_;
  std::string saved_[6];
  bool had_[6] = {};
};

// Removes a folder tree; errors ignored.
void RemoveTree(const std::string& path);
// Writes a file, creating nothing but the file.
void WriteFile(const std::string& path, const std::string& data);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace testing_support

// File-level steps of keeping a hive on disk: noticing that another process
// replaced it, reading it, the lock writers take, replacing it atomically,
// and moving an unreadable one aside.
#pragma once

#include <cstdint>
#include <string>

namespace platform::reg {

// What identifies one version of the hive file. Writers always replace the
// file by renaming a new one over it, so a new version has a new inode and
// change time; size and modification time catch editors that write in place.
struct FileStamp {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t mtimeNs = 0;
  std::int64_t ctimeNs = 0;
  bool operator==(const FileStamp&) const = default;
};

enum class ReadResult {
  kUnchanged,  // same stamp as last time (only when not forced)
  kRead,       // *text holds the file
  kMissing,    // there is no file
  kFailed,     // it exists but cannot be read; errno tells why
};

// Reads `path` unless its stamp still equals *stamp (or `force`); updates
// *stamp to the version read.
ReadResult ReadHiveFileIfChanged(const std::string& path, bool force, FileStamp* stamp, std::string* text);

// Replaces `path` with `text` so that a crash leaves either the old or the
// new file: a temporary file beside it (mode 0600), flushed, renamed over
// it, then the folder flushed. *stamp receives the new version. On failure
// errno tells why and the old file is untouched.
bool WriteHiveFile(const std::string& path, const std::string& text, FileStamp* stamp);

// Removes temporary files a crashed writer left beside `path`. Only with the
// hive lock held: then no writer is using one.
void RemoveStaleTempFiles(const std::string& path);

// Creates `dir` and its missing parents with mode 0700.
bool MakePrivateFolder(const std::string& dir);

// Renames `path` to "<path>.corrupt-<unix time>" (with "-N" added when that
// name is taken); returns the new name, or "" with errno set.
std::string MoveAside(const std::string& path);

// An exclusive advisory lock on a lock file (created 0600 when missing) that
// every writing process takes around read-merge-replace. Released on
// destruction.
class HiveLock {
 public:
  HiveLock() = default;
  ~HiveLock();
  HiveLock(const HiveLock&) = delete;
  HiveLock& operator=(const HiveLock&) = delete;
  bool Acquire(const std::string& lockPath);

 private:
  int fd_ = -1;
};

}  // namespace platform::reg

// Whole-file writes that a crash or a concurrent reader never sees half
// done, and the small file-system steps that go with them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct AtomicWriteOptions {
  // Permission bits of the new file, as given (the umask does not apply).
  unsigned mode = 0644;
  // Flush the file before the rename and its folder after it. Without it
  // readers still see the old or the new file whole, but a crash may leave
  // the target empty (for caches, which check what they read).
  bool durable = true;
  // false: fail with EEXIST when the target exists, leaving it as it is.
  bool replace = true;
  // The new file's modification time, seconds since 1970.
  std::optional<std::int64_t> mtime;
  // Where the temporary file goes (on the target's file system); empty:
  // beside the target, named "<target>.tmpXXXXXX", so that stale ones can
  // be recognised there.
  std::string tempFolder;
  // Test hook, called once the new file is complete and just before the
  // rename; returning false fails the write with EIO.
  std::function<bool()> beforeRename;
};

// Writes `data` to `path` through a uniquely named temporary file that is
// renamed into place. Returns false with errno set on any failure; the old
// file (if any) is then untouched and no temporary file is left behind.
// Safe from any thread and process: temporary names never collide.
bool WriteFileAtomically(const std::string& path, std::string_view data, const AtomicWriteOptions& options = {});

// Reads a whole file; false when it cannot be read.
// Reads what is left of an open file; false (errno EFBIG) past `maxBytes`.
bool ReadAll(int fd, std::string* data, std::size_t maxBytes = SIZE_MAX);
bool ReadWholeFile(const std::string& path, std::string* data, std::size_t maxBytes = SIZE_MAX);

// The folder part of a path: "." for a bare name, "/" for a file in the root.
std::string FolderOf(const std::string& path);

// Flushes a folder's entries to disk, so that a rename, creation or removal
// in it survives a crash. false with errno set when it could not.
bool SyncFolder(const std::string& folder);

}  // namespace platform

#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace platform {
namespace {

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;  // no progress: give up rather than spin
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// A rename that fails with EEXIST instead of replacing the target.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without the flag: a hard link refuses an existing target.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view data, const AtomicWriteOptions& options) {
  // mkostemp picks a name nobody else holds (O_EXCL), in this process or any other.
  std::string temp = options.tempFolder.empty() ? path + ".tmpXXXXXX" : options.tempFolder + "/wrenvia.tmpXXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, static_cast<mode_t>(options.mode)) == 0 && WriteAll(fd, data);
  if (ok && options.mtime) {
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(*options.mtime), 0}};
    ok = ::futimens(fd, times) == 0;
  }
  if (ok && options.durable) ok = ::fsync(fd) == 0;
  int saved = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && options.beforeRename && !options.beforeRename()) {
    ok = false;
    saved = EIO;
  }
  if (ok) {
    ok = options.replace ? ::rename(temp.c_str(), path.c_str()) == 0 : RenameNoReplace(temp, path);
    saved = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = saved;
    return false;
  }
  if (options.durable) SyncFolder(FolderOf(path));
  return true;
}

bool ReadAll(int fd, std::string* data, std::size_t maxBytes) {
  data->clear();
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    if (data->size() + static_cast<std::size_t>(n) > maxBytes) {
      errno = EFBIG;
      return false;
    }
    data->append(buf, static_cast<std::size_t>(n));
  }
}

bool ReadWholeFile(const std::string& path, std::string* data, std::size_t maxBytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ReadAll(fd, data, maxBytes);
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return ok;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return ok;
}

}  // namespace platform

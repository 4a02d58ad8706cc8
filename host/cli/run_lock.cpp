#include "host/cli/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "diag/data_folder.h"
#include "platform/text.h"

namespace cli {
namespace {

std::string LockPath() {
  const std::u16string folder = NativePath(GetDataFolder() + u"/");
  CreateFolderChain(folder);
  return Utf16ToUtf8(folder) + "run.lock";
}

int ReadHolder(int fd) {
  char buf[32] = {};
  const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  return n > 0 ? std::atoi(buf) : 0;
}

}  // namespace

RunLock::~RunLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

bool RunLock::Acquire(int* holder) {
  const int fd = ::open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;  // no lock to be had: nothing to guard against either
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (holder) *holder = ReadHolder(fd);
    ::close(fd);
    return false;
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
    // The process id is only for the message; the lock holds without it.
  }
  fd_ = fd;
  return true;
}

bool RefuseWhilePolling() {
  const int fd = ::open(LockPath().c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool polling = false;
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    polling = true;
    std::fprintf(stderr,
                 "wrenvia: 'wrenvia run' is polling with this profile (process %d); it would undo this change. "
                 "Stop it first; nothing was changed.\n",
                 ReadHolder(fd));
  }
  ::close(fd);
  return polling;
}

}  // namespace cli

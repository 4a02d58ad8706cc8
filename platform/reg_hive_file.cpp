#include "platform/reg_hive_file.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <string_view>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/registry.h"

namespace platform::reg {

namespace {

std::atomic<int> g_failingWrites{0};

bool ConsumeWriteFailure() {
  int n = g_failingWrites.load();
  while (n > 0)
    if (g_failingWrites.compare_exchange_weak(n, n - 1)) return true;
  return false;
}

FileStamp StampOf(const struct stat& st) {
  FileStamp s;
  s.exists = true;
  s.device = st.st_dev;
  s.inode = st.st_ino;
  s.size = st.st_size;
  s.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.ctimeNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return s;
}

}  // namespace

ReadResult ReadHiveFileIfChanged(const std::string& path, bool force, FileStamp* stamp, std::string* text) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) return ReadResult::kFailed;
    if (!force && !stamp->exists) return ReadResult::kUnchanged;
    *stamp = FileStamp{};
    return ReadResult::kMissing;
  }
  if (!force && StampOf(st) == *stamp) return ReadResult::kUnchanged;
  // Stamp and contents both come from the open file, so a replacement that
  // lands between the two calls is simply seen on the next check.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) return ReadResult::kFailed;
    *stamp = FileStamp{};
    return ReadResult::kMissing;
  }
  bool ok = ::fstat(fd, &st) == 0;
  text->clear();
  if (ok) ok = ReadAll(fd, text);
  const int saved = errno;
  ::close(fd);
  if (!ok) {
    errno = saved;
    return ReadResult::kFailed;
  }
  *stamp = StampOf(st);
  return ReadResult::kRead;
}

bool WriteHiveFile(const std::string& path, const std::string& text, FileStamp* stamp) {
  AtomicWriteOptions options;
  options.mode = 0600;
  options.beforeRename = [] { return !ConsumeWriteFailure(); };
  if (!WriteFileAtomically(path, text, options)) return false;
  // The caller holds the hive lock, so the file there now is ours.
  struct stat st;
  *stamp = ::stat(path.c_str(), &st) == 0 ? StampOf(st) : FileStamp{};
  return true;
}

void RemoveStaleTempFiles(const std::string& path) {
  const std::string dir = FolderOf(path);
  const std::string prefix = path.substr(path.rfind('/') + 1) + ".tmp";
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  while (const dirent* e = ::readdir(d))
    if (std::string_view(e->d_name).substr(0, prefix.size()) == prefix) ::unlinkat(::dirfd(d), e->d_name, 0);
  ::closedir(d);
}

bool MakePrivateFolder(const std::string& dir) {
  if (dir.empty()) {
    errno = ENOENT;
    return false;
  }
  for (std::size_t i = 1; i <= dir.size(); ++i) {
    if (i == dir.size() || dir[i] == '/') {
      const std::string part = dir.substr(0, i);
      if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st;
  if (::stat(dir.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  return true;
}

std::string MoveAside(const std::string& path) {
  const std::string base = path + ".corrupt-" + std::to_string(static_cast<long long>(std::time(nullptr)));
  std::string target = base;
  struct stat st;
  for (int n = 1; ::lstat(target.c_str(), &st) == 0; ++n) {
    if (n > 1000) {
      errno = EEXIST;
      return {};
    }
    target = base + "-" + std::to_string(n);
  }
  if (::rename(path.c_str(), target.c_str()) != 0) return {};
  SyncFolder(FolderOf(path));
  return target;
}

HiveLock::~HiveLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool HiveLock::Acquire(const std::string& lockPath) {
  fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) return false;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    const int saved = errno;
    ::close(fd_);
    fd_ = -1;
    errno = saved;
    return false;
  }
  return true;
}

}  // namespace platform::reg

namespace platform::testing {

void SetRegistryWriteFailpoint(int count) { reg::g_failingWrites.store(count > 0 ? count : 0); }

}  // namespace platform::testing

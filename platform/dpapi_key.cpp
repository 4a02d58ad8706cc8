#include "platform/dpapi_key.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <log4cpp/Category.hh>
#include <sodium.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/reg_hive_file.h"
#include "platform/registry.h"

namespace platform::dpapi {

namespace {

log4cpp::Category& Log() { return log4cpp::Category::getInstance("dpapi"); }

DWORD ReadKey(int fd, const std::string& path, unsigned char (&key)[kKeySize]) {
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != static_cast<off_t>(kKeySize)) {
    Log().error("dpapi: key file %s is not a %zu-byte file; not using it", path.c_str(), kKeySize);
    return ERROR_INVALID_DATA;
  }
  if (st.st_mode & 077) {
    Log().warn("dpapi: key file %s was readable by others; mode set to 0600", path.c_str());
    ::fchmod(fd, 0600);
  }
  std::size_t got = 0;
  while (got < kKeySize) {
    const ssize_t n = ::read(fd, key + got, kKeySize - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Log().error("dpapi: cannot read key file %s", path.c_str());
      return ERROR_CANTREAD;
    }
    got += static_cast<std::size_t>(n);
  }
  return ERROR_SUCCESS;
}

// Writes a new key without replacing one that is there, so when two
// processes race one key wins and both use it.
DWORD CreateKey(const std::string& folder, const std::string& path) {
  if (!reg::MakePrivateFolder(folder)) {
    const int err = errno;
    Log().error("dpapi: cannot create %s: %s", folder.c_str(), std::strerror(err));
    return ERROR_CANTWRITE;
  }
  unsigned char key[kKeySize];
  randombytes_buf(key, sizeof key);
  AtomicWriteOptions options;
  options.mode = 0600;
  options.replace = false;
  const bool ok = WriteFileAtomically(path, std::string_view(reinterpret_cast<const char*>(key), sizeof key), options);
  const int err = errno;
  sodium_memzero(key, sizeof key);
  if (!ok && err != EEXIST) {
    Log().error("dpapi: cannot create key file %s: %s", path.c_str(), std::strerror(err));
    return ERROR_CANTWRITE;
  }
  return ERROR_SUCCESS;
}

}  // namespace

DWORD LoadUserKey(unsigned char (&key)[kKeySize], bool create) {
  const std::string folder = ConfigFolder();
  if (folder.empty()) {
    Log().error("dpapi: no config folder (HOME is not set)");
    return ERROR_PATH_NOT_FOUND;
  }
  const std::string path = folder + "/dpapi.key";
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
      const DWORD err = ReadKey(fd, path, key);
      ::close(fd);
      return err;
    }
    const int err = errno;
    if (err != ENOENT) {
      Log().error("dpapi: cannot open key file %s: %s", path.c_str(), std::strerror(err));
      return err == EACCES ? ERROR_ACCESS_DENIED : ERROR_CANTREAD;
    }
    // Nothing can have been protected without a key.
    if (!create) return ERROR_INVALID_DATA;
    if (const DWORD err = CreateKey(folder, path)) return err;
  }
  return ERROR_CANTREAD;
}

}  // namespace platform::dpapi

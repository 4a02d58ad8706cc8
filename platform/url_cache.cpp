#include "platform/url_cache.h"

#include <dirent.h>
#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <map>
#include <mutex>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/known_folders.h"

namespace platform {
namespace {

constexpr char kMagic[] = "WRENVIA-URL-CACHE 1\n";
constexpr char kEntrySuffix[] = ".entry";
// A temporary file this old belongs to a writer that is gone.
constexpr time_t kStaleTemporarySeconds = 600;

bool UsableUrl(std::string_view url) {
  return !url.empty() && url.find_first_of(std::string_view("\n\r\0", 3)) == std::string_view::npos;
}

bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// What this process knows of each cache folder's total size: counted by
// the last trim and raised by every store since, so that a store lists the
// folder only when the cap may have been passed (a prefetch per delivered
// tweet would otherwise stat thousands of entries each time). Entries
// replaced or removed meanwhile, here or by another process, only make the
// figure high, and a high figure only brings the next trim forward.
class FolderTotals {
 public:
  // Adds a store of `bytes`; true when the folder must be trimmed (never
  // trimmed yet by this process, or the figure is past `cap`).
  bool Add(const std::string& folder, std::uint64_t bytes, std::uint64_t cap) {
    std::lock_guard lock(mutex_);
    auto it = totals_.find(folder);
    if (it == totals_.end()) return true;
    it->second += bytes;
    return it->second > cap;
  }
  void Set(const std::string& folder, std::uint64_t bytes) {
    std::lock_guard lock(mutex_);
    totals_[folder] = bytes;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::uint64_t> totals_;
};

FolderTotals& Totals() {
  static FolderTotals totals;
  return totals;
}

}  // namespace

std::string DefaultUrlCacheFolder() {
  const std::string base = XdgFolder("XDG_CACHE_HOME", ".cache");
  return base.empty() ? std::string() : base + "/wrenvia/urlcache";
}

UrlCache::UrlCache() : UrlCache(DefaultUrlCacheFolder(), kUrlCacheMaxTotalBytes, kUrlCacheMaxEntryBytes) {}

UrlCache::UrlCache(std::string folder, std::uint64_t maxTotalBytes, std::uint64_t maxEntryBytes)
    : folder_(std::move(folder)), maxTotal_(maxTotalBytes), maxEntry_(maxEntryBytes) {}

std::string UrlCache::EntryPath(std::string_view url) const {
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(url.data()), url.size());
  char hex[crypto_hash_sha256_BYTES * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
  return folder_ + "/" + hex + kEntrySuffix;
}

bool UrlCache::Store(std::string_view url, std::string_view data) {
  if (folder_.empty() || !UsableUrl(url) || data.size() > maxEntry_ || data.size() > maxTotal_) return false;
  if (!MakeFolders(folder_, 0700)) return false;
  std::string content = kMagic;
  content.append(url);
  content.push_back('\n');
  content.append(data);
  AtomicWriteOptions options;
  options.mode = 0600;
  // A cache needs no flush to disk: an entry a crash cut short fails the
  // address check at its head and is fetched again.
  options.durable = false;
  const std::string path = EntryPath(url);
  struct stat old {};
  const std::uint64_t replaced = stat(path.c_str(), &old) == 0 ? static_cast<std::uint64_t>(old.st_size) : 0;
  if (!WriteFileAtomically(path, content, options)) return false;
  const std::uint64_t added = content.size() > replaced ? content.size() - replaced : 0;
  if (Totals().Add(folder_, added, maxTotal_)) Trim();
  return true;
}

bool UrlCache::Retrieve(std::string_view url, std::string* data) {
  if (folder_.empty() || !UsableUrl(url)) return false;
  const std::string path = EntryPath(url);
  // Read through one descriptor: an entry evicted or replaced meanwhile is
  // still read whole from the file that was opened.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  std::string content;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<std::uint64_t>(st.st_size) <= maxEntry_ + url.size() + sizeof kMagic;
  if (ok) {
    content.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < content.size()) {
      const ssize_t n = read(fd, content.data() + got, content.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    ok = got == content.size();
  }
  if (ok) futimens(fd, nullptr);  // a use: last to be evicted
  close(fd);
  if (!ok) return false;
  std::string header = kMagic;
  header.append(url);
  header.push_back('\n');
  if (content.compare(0, header.size(), header) != 0) return false;
  data->assign(content, header.size(), std::string::npos);
  return true;
}

bool UrlCache::Contains(std::string_view url) {
  std::string data;
  return Retrieve(url, &data);
}

bool UrlCache::Remove(std::string_view url) {
  if (folder_.empty() || !UsableUrl(url)) return false;
  return unlink(EntryPath(url).c_str()) == 0;
}

void UrlCache::Trim() {
  DIR* dir = opendir(folder_.c_str());
  if (!dir) return;
  struct Entry {
    std::string name;
    timespec used;
    std::uint64_t size;
  };
  std::vector<Entry> entries;
  std::uint64_t total = 0;
  const time_t now = time(nullptr);
  const int dfd = dirfd(dir);
  while (const dirent* d = readdir(dir)) {
    const std::string_view name = d->d_name;
    const bool entry = EndsWith(name, kEntrySuffix);
    const bool temporary = name.find(".tmp") != std::string_view::npos;
    if (!entry && !temporary) continue;
    struct stat st {};
    if (fstatat(dfd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (temporary) {
      if (now - st.st_mtime > kStaleTemporarySeconds) unlinkat(dfd, d->d_name, 0);
      continue;
    }
    entries.push_back(Entry{std::string(name), st.st_mtim, static_cast<std::uint64_t>(st.st_size)});
    total += static_cast<std::uint64_t>(st.st_size);
  }
  if (total > maxTotal_) {
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
      return a.used.tv_sec != b.used.tv_sec ? a.used.tv_sec < b.used.tv_sec : a.used.tv_nsec < b.used.tv_nsec;
    });
    for (const Entry& e : entries) {
      if (total <= maxTotal_) break;
      // Another process may have evicted it already; either way it is gone.
      unlinkat(dfd, e.name.c_str(), 0);
      total -= e.size;
    }
  }
  closedir(dir);
  Totals().Set(folder_, total);
}

}  // namespace platform

// The per-user cache of downloaded resources (the WinINet URL cache
// stand-in): an address maps to a local file holding what was fetched from
// it, so a prefetched address loads later with no network request.
//
// Entries live in $XDG_CACHE_HOME/wrenvia/urlcache/ (default
// ~/.cache/wrenvia/urlcache/), one file per address named by the SHA-256 of
// the address; the file starts with the address itself, so a damaged or
// foreign file is never taken for an entry. Entries are written atomically
// (temporary file, flush, rename), so two threads or two processes storing,
// reading and evicting at once never see a torn entry. The cache is bounded:
// when a store takes the total past the limit (by a running figure the
// process keeps per folder, counted afresh on its first store there) the
// least recently used entries are evicted until the total is within it, and
// an entry larger than the entry limit is refused.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

constexpr std::uint64_t kUrlCacheMaxEntryBytes = 2u << 20;
constexpr std::uint64_t kUrlCacheMaxTotalBytes = 64u << 20;

class UrlCache {
 public:
  // The current user's cache with the default limits.
  UrlCache();
  UrlCache(std::string folder, std::uint64_t maxTotalBytes, std::uint64_t maxEntryBytes);

  // Stores the resource fetched from `url`, replacing an earlier copy at
  // once. False (and the earlier copy kept) when the data is over the entry
  // limit, the address is empty or holds a line break or NUL, or the entry
  // cannot be written.
  bool Store(std::string_view url, std::string_view data);
  // The resource stored for `url`; false when there is none. A hit counts as
  // a use for the eviction order.
  bool Retrieve(std::string_view url, std::string* data);
  bool Contains(std::string_view url);
  bool Remove(std::string_view url);
  // Evicts least recently used entries until the total is within the limit,
  // and removes temporary files that crashed writers left behind.
  void Trim();

  const std::string& folder() const { return folder_; }
  std::string EntryPath(std::string_view url) const;

 private:
  std::string folder_;
  std::uint64_t maxTotal_;
  std::uint64_t maxEntry_;
};

// The current user's cache folder ("" when there is no home folder).
std::string DefaultUrlCacheFolder();

}  // namespace platform

// The per-user URL cache: entries keyed by address, written atomically,
// bounded in size with the least recently used evicted.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/url_cache.h"
#include "tests/support/temp_profile.h"

namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }

TEST(UrlCache, StoresRetrievesAndRefusesWhatItCannotKeep) {
  testing_support::TempProfile profile;
  platform::UrlCache cache;
  const std::string url = "http://a0.twimg.com/profile_images/1/me.png";
  std::string data;
  EXPECT_FALSE(cache.Retrieve(url, &data));
  EXPECT_TRUE(cache.Store(url, "first"));
  EXPECT_TRUE(cache.Store(url, std::string("second\0with nul", 15)));
  ASSERT_TRUE(cache.Retrieve(url, &data));
  EXPECT_EQ(data, std::string("second\0with nul", 15));
  // The folder is the user's own.
  struct stat st {};
  ASSERT_EQ(stat(cache.folder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // Too big, or an address that cannot be a key: refused, old entry kept.
  EXPECT_FALSE(cache.Store(url, std::string(platform::kUrlCacheMaxEntryBytes + 1, 'x')));
  EXPECT_TRUE(cache.Store(url + "2", std::string(platform::kUrlCacheMaxEntryBytes, 'x')));
  EXPECT_FALSE(cache.Store("http://host/a\nb", "x"));
  EXPECT_FALSE(cache.Store("", "x"));
  ASSERT_TRUE(cache.Retrieve(url, &data));
  EXPECT_EQ(data.size(), 15u);

  // A damaged entry, or another address's entry under this name, is no hit.
  WriteFile(cache.EntryPath(url), "WRENVIA-URL-CACHE 1\nhttp://elsewhere/\nsecret");
  EXPECT_FALSE(cache.Retrieve(url, &data));
  WriteFile(cache.EntryPath(url), "garbage");
  EXPECT_FALSE(cache.Retrieve(url, &data));
  EXPECT_TRUE(cache.Remove(url));
  EXPECT_FALSE(cache.Contains(url));
}

TEST(UrlCache, EvictsTheLeastRecentlyUsedAndStaleTemporaries) {
  testing_support::TempProfile profile;
  platform::UrlCache cache(profile.cacheDir() + "/c", 3000, 1000);
  const std::string body(900, 'p');
  for (const char* name : {"a", "b", "c"}) {
    ASSERT_TRUE(cache.Store(std::string("http://h/") + name, body));
    Pause();
  }
  EXPECT_TRUE(cache.Contains("http://h/a"));  // a use: "b" is now the oldest
  Pause();
  // Temporary files of a crashed writer: an old one goes, a fresh one stays.
  const std::string stale = cache.folder() + "/0123.entry.tmpABCDEF";
  const std::string fresh = cache.folder() + "/4567.entry.tmpGHIJKL";
  WriteFile(stale, "half");
  WriteFile(fresh, "half");
  const timespec old[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
  utimensat(AT_FDCWD, stale.c_str(), old, 0);

  ASSERT_TRUE(cache.Store("http://h/d", body));
  EXPECT_TRUE(cache.Contains("http://h/a"));
  EXPECT_FALSE(cache.Contains("http://h/b"));
  EXPECT_TRUE(cache.Contains("http://h/c"));
  EXPECT_TRUE(cache.Contains("http://h/d"));
  EXPECT_FALSE(FileExists(stale));
  EXPECT_TRUE(FileExists(fresh));
}

// The bytes the cache's entries take on disk.
std::uint64_t EntryBytes(const std::string& folder) {
  std::uint64_t total = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().extension() == ".entry") total += e.file_size();
  return total;
}

TEST(UrlCache, TheCapHoldsWithoutListingTheFolderOnEveryStore) {
  testing_support::TempProfile profile;
  const std::string folder = profile.cacheDir() + "/capped";
  constexpr std::uint64_t kCap = 3000;
  const std::string body(900, 'p');
  // A cache object per store, as each prefetch makes one.
  ASSERT_TRUE(platform::UrlCache(folder, kCap, 1000).Store("http://h/first", body));

  // Left by a crashed writer after the first store: nobody lists the folder
  // while the stores stay under the cap...
  const std::string stale = folder + "/0123.entry.tmpABCDEF";
  WriteFile(stale, "half");
  const timespec old[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
  utimensat(AT_FDCWD, stale.c_str(), old, 0);
  ASSERT_TRUE(platform::UrlCache(folder, kCap, 1000).Store("http://h/second", body));
  EXPECT_TRUE(FileExists(stale));

  // ...and once they pass it, the folder is trimmed back within it, again
  // and again, replacing entries or adding new ones.
  for (int i = 0; i < 20; ++i) {
    const std::string url = "http://h/" + std::to_string(i % 6);
    ASSERT_TRUE(platform::UrlCache(folder, kCap, 1000).Store(url, body)) << i;
    EXPECT_LE(EntryBytes(folder), kCap) << i;
    EXPECT_TRUE(platform::UrlCache(folder, kCap, 1000).Contains(url)) << i;
  }
  EXPECT_FALSE(FileExists(stale));
}

TEST(UrlCacheThreads, ReadersNeverSeeATornEntry) {
  testing_support::TempProfile profile;
  const std::string url = "http://h/shared.png";
  const std::string a(200000, 'a'), b(200000, 'b');
  std::atomic<bool> torn{false};
  std::atomic<int> hits{0};
  std::atomic<int> writing{2};
  auto writer = [&](const std::string& body) {
    platform::UrlCache cache(profile.cacheDir() + "/t", 1000000, 300000);
    for (int i = 0; i < 30; ++i) {
      cache.Store(url, body);
      cache.Store("http://h/other" + std::to_string(i % 7), body);  // keeps eviction busy
    }
    --writing;
  };
  auto reader = [&] {
    platform::UrlCache cache(profile.cacheDir() + "/t", 1000000, 300000);
    std::string data;
    while (writing > 0) {
      if (!cache.Retrieve(url, &data)) continue;
      ++hits;
      if (data != a && data != b) torn = true;
    }
  };
  std::thread w1(writer, a), w2(writer, b), r1(reader), r2(reader);
  w1.join();
  w2.join();
  r1.join();
  r2.join();
  EXPECT_FALSE(torn);
  EXPECT_GT(hits.load(), 0);
}

}  // namespace

// The tweets delivered by this process, so a tweet that comes again (in two
// streams, or after markers were reset) is stored once. Memory only: across
// restarts the since markers keep old tweets away.
#pragma once

#include <mutex>
#include <string>
#include <unordered_set>

class SeenTweets {
 public:
  static SeenTweets& Instance();

  bool Contains(const std::u16string& key) const;
  void Insert(const std::u16string& key);
  std::size_t Size() const;
  // For tests: forget everything.
  void ClearForTests();

 private:
  mutable std::mutex mutex_;
  std::unordered_set<std::u16string> keys_;
};

// The key of a timeline tweet ("user|id") or a search result
// ("folder id|id"); empty (no key) for a tweet without an id.
std::u16string MakeSeenKey(const std::u16string& prefix, const std::u16string& tweetId);

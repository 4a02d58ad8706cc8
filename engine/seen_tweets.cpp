#include "engine/seen_tweets.h"

SeenTweets& SeenTweets::Instance() {
  // Shared by the UI thread and the worker; never destroyed so a late worker
  // can still use it while the process ends.
  static SeenTweets* const instance = new SeenTweets();
  return *instance;
}

bool SeenTweets::Contains(const std::u16string& key) const {
  std::lock_guard lock(mutex_);
  return keys_.count(key) != 0;
}

void SeenTweets::Insert(const std::u16string& key) {
  std::lock_guard lock(mutex_);
  keys_.insert(key);
}

std::size_t SeenTweets::Size() const {
  std::lock_guard lock(mutex_);
  return keys_.size();
}

void SeenTweets::ClearForTests() {
  std::lock_guard lock(mutex_);
  keys_.clear();
}

std::u16string MakeSeenKey(const std::u16string& prefix, const std::u16string& tweetId) {
  if (tweetId.empty()) return {};
  return prefix + u"|" + tweetId;
}

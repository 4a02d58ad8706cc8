#include "engine/new_tweet_feed.h"

#include <algorithm>
#include <ctime>

NewTweetFeed& NewTweetFeed::Instance() {
  static NewTweetFeed* const instance = new NewTweetFeed();
  return *instance;
}

void NewTweetFeed::AddFront(const TwitterStatus& tweet, const std::u16string& entryId) {
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  std::lock_guard lock(mutex_);
  // Without a ticker stepping through it (the command line) the feed would
  // only grow; entries past their age would be dropped by the next step anyway.
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [now](const FeedEntry& e) { return now - e.tweet.receivedAt >= kMaxAgeSeconds; }),
                 entries_.end());
  entries_.push_front(FeedEntry{tweet, entryId});
}

std::optional<FeedEntry> NewTweetFeed::Next(std::int64_t now) {
  std::lock_guard lock(mutex_);
  while (!entries_.empty()) {
    FeedEntry front = std::move(entries_.front());
    entries_.pop_front();
    if (now - front.tweet.receivedAt < kMaxAgeSeconds) {
      entries_.push_back(front);
      return front;
    }
  }
  return std::nullopt;
}

std::optional<FeedEntry> NewTweetFeed::Previous() {
  std::lock_guard lock(mutex_);
  if (entries_.empty()) return std::nullopt;
  FeedEntry back = std::move(entries_.back());
  entries_.pop_back();
  entries_.push_front(std::move(back));
  return entries_.back();
}

std::size_t NewTweetFeed::Size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

void NewTweetFeed::ClearForTests() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

// The delivered tweets the toolbar ticker shows, newest at the front, shared
// by the polling worker (adds) and the UI thread (steps through them) under
// one lock.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "client/records.h"

struct FeedEntry {
  TwitterStatus tweet;
  std::u16string entryId;  // the stored item's id; empty when storing failed
};

class NewTweetFeed {
 public:
  static NewTweetFeed& Instance();

  // Tweets older than this (by the time their record was made) are dropped.
  static constexpr std::int64_t kMaxAgeSeconds = 600;

  void AddFront(const TwitterStatus& tweet, const std::u16string& entryId);
  // The ticker's "next": the front entry moves to the back and is returned;
  // stale ones on the way are dropped.
  std::optional<FeedEntry> Next(std::int64_t now);
  // The ticker's "previous": the back entry moves to the front; returns the
  // entry now at the back.
  std::optional<FeedEntry> Previous();
  std::size_t Size() const;
  void ClearForTests();

 private:
  mutable std::mutex mutex_;
  std::deque<FeedEntry> entries_;
};

// Tweet records for the store tests.
#pragma once

#include <clocale>
#include <string>

#include "client/records.h"
#include "tests/support/scoped_env.h"

namespace store_testing {

// 2009-12-07 14:03:22 UTC, a Monday.
constexpr std::int64_t kCreated = 1260194602;

inline TwitterStatus MakeTweet(std::u16string id, std::u16string screenName, std::string text,
                               std::int32_t kind = TweetKindFriends) {
  TwitterStatus tweet;
  tweet.id = std::move(id);
  tweet.user.screenName = std::move(screenName);
  tweet.user.name = u"Full " + tweet.user.screenName;
  tweet.rawText = text;
  tweet.text = std::u16string(text.begin(), text.end());
  tweet.html = tweet.text;
  tweet.kind = kind;
  tweet.createdUtc = UnixSecondsToSystemTime(kCreated);
  tweet.createdAtText = u"Mon Dec 07 14:03:22 +0000 2009";
  return tweet;
}

// Sets TZ and LC_TIME for the life of the object.
class TimeEnvironment {
 public:
  explicit TimeEnvironment(const char* tz, const char* locale = "C") : tz_(tz) {
    oldLocale_ = std::setlocale(LC_TIME, nullptr);
    std::setlocale(LC_TIME, locale);
  }
  ~TimeEnvironment() { std::setlocale(LC_TIME, oldLocale_.c_str()); }

 private:
  testing_support::ScopedTimeZone tz_;
  std::string oldLocale_;
};

}  // namespace store_testing

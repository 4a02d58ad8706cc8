// The records every answer of the Twitter service travels in: the result
// header, users, tweets (statuses, direct messages and search results alike)
// and the list of tweets a cycle collects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

// Outcome codes of the Twitter client; callers test code < 0 for failure.
constexpr std::int32_t ResultOk = 1;
constexpr std::int32_t ResultFailed = -1;
constexpr std::int32_t ResultBadCredentials = -3;
constexpr std::int32_t ResultUnreachable = -4;
constexpr std::int32_t ResultServiceError = -5;

struct TwitterResult {
  std::int32_t code = 0;          // 0: the call was not made
  std::u16string message;         // filled by FormatResultMessage
  std::int32_t httpStatus = 0;    // -1 when no status was received
  std::u16string errorText;       // the service's error text
};

struct TwitterUser : TwitterResult {
  std::u16string id;
  std::u16string name;
  std::u16string screenName;
  std::u16string location;
  std::u16string description;
  std::u16string profileImageUrl;
  std::u16string url;
  std::u16string followersCount;
  std::u16string friendsCount;
  std::u16string statusesCount;
  bool isProtected = false;
};

// Where a tweet came from.
enum TweetKind : std::int32_t {
  TweetKindNone = 0,  // not set yet (a posted status update keeps it)
  TweetKindFriends = 1,
  TweetKindReply = 2,
  TweetKindDirect = 3,
  TweetKindSearch = 4,
};

struct TwitterStatus : TwitterResult {
  TwitterStatus();

  std::u16string createdAtText;   // "created_at" as received
  std::u16string id;
  std::string rawText;            // "text" exactly as received (UTF-8)
  std::u16string text;
  std::u16string html;            // the text marked up as HTML
  std::u16string source;          // the posting client's HTML fragment, unchanged
  std::u16string replyToName;     // name after a leading "@", else empty
  std::u16string inReplyToUserId;
  std::u16string inReplyToStatusId;
  std::u16string recipientScreenName;
  TwitterUser user;
  std::int32_t kind = TweetKindNone;
  SYSTEMTIME createdUtc{};        // all zero until a date was parsed
  std::int64_t receivedAt = 0;    // seconds since 1970 UTC at construction
  bool postedByUser = false;
};

// Tweets in the order they were appended.
using TweetList = std::vector<TwitterStatus>;

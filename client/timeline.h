// Fetching the friends timeline, the replies and the direct messages: only
// entries newer than the account's last-seen id are kept, and the account's
// markers move forward. Saving the account is the caller's business.
#pragma once

#include <string>
#include <string_view>

#include "client/http_request.h"
#include "client/records.h"
#include "settings/account.h"

void FetchFriendsTimeline(CTwitterAccount& account, TwitterCredentials& credentials, TwitterResult& result,
                          TweetList& list);
void FetchRepliesTimeline(CTwitterAccount& account, TwitterCredentials& credentials, TwitterResult& result,
                          TweetList& list);
void FetchDirectTimeline(CTwitterAccount& account, TwitterCredentials& credentials, TwitterResult& result,
                         TweetList& list);

// One timeline: GET ApiUrlPrefix + `path` on ApiHost with since_id (from the
// last-id value) and count (when at least 1). On success the date value takes
// the answer's Date header and the last-id value the largest id appended.
// The two values are account fields, read and written under the account's
// lock (never held across the request).
void FetchTimeline(TwitterResult& result, const TwitterCredentials& credentials,
                   std::u16string CTwitterAccount::*dateValue, std::u16string CTwitterAccount::*lastIdValue,
                   int count, std::string_view path, CTwitterAccount& account, TweetList& list, TweetKind kind);

// Fills the credentials from the account's user and clear password (UTF-8).
void FillCredentials(const CTwitterAccount& account, TwitterCredentials& credentials);

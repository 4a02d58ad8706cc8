// Running one saved search against the search service: only results newer
// than the search's last-seen id are kept, and that id moves forward.
// Saving the updated search is the caller's business.
#pragma once

#include "client/http_request.h"
#include "client/records.h"
#include "settings/account.h"

// `search` is normally one of account.Searches; its fields are read and
// written under the account's lock. An empty query sends nothing and leaves
// `result` untouched. An empty credential pair sends no Authorization header.
void SearchTweets(CSearchOpts& search, TwitterResult& result, const TwitterCredentials& credentials,
                  TweetList& list, CTwitterAccount& account);

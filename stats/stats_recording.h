// Counting received and sent tweets, when the account's EnableStats is on.
// Each recording is one transaction; when it cannot begin (the database is
// locked past the busy timeout, or cannot be opened) nothing is counted or
// pruned, and that is logged ("stats").
#pragma once

#include <string>

#include "client/records.h"

// Counts each tweet of a polling cycle for its creation time: in the total
// of received tweets and, when the sender has a screen name, for the sender.
void RecordReceivedTweets(const TweetList& tweets);

// Counts a tweet the user posted, now: in the total of sent tweets and, for
// an @reply or a direct message, for its addressee. An empty text counts
// nothing (old rows are still pruned).
void RecordSentTweet(const std::u16string& text);

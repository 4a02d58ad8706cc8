// The steps both cycles share once they hold a list of tweets: storing one
// tweet, fetching the sender pictures, and the new-tweet sound.
#pragma once

#include <cstddef>
#include <string>

#include "addin/import/outlook.h"
#include "client/records.h"
#include "engine/cycle_report.h"

class CTwitterAccount;
namespace nevlora {
class CTwitterRunner;
}

// Creates the item (its result is not examined), remembers the seen key
// whether or not that worked, and puts the tweet at the front of the feed.
void DeliverTweet(_Application* application, const std::u16string& folderId, const std::u16string& storeId,
                  bool perSender, const TwitterStatus& tweet, CTwitterAccount& account, const std::u16string& seenKey,
                  CycleReport* report);

// Downloads each sender picture of the list into the picture cache, each
// distinct address once, stopping when a stop is requested.
void PrefetchSenderPictures(const nevlora::CTwitterRunner& runner, const TweetList& list);

// Plays NewMessageSound when `count` is above 0 and a sound is set.
void PlayNewTweetSound(CTwitterAccount& account, std::size_t count);

#include "engine/delivery.h"

#include <unordered_set>

#include "addin/picture_cache.h"
#include "engine/new_tweet_feed.h"
#include "engine/seen_tweets.h"
#include "engine/twitter_runner.h"
#include "platform/sound.h"
#include "settings/account.h"
#include "store/item_store.h"

namespace {
// SND_FILENAME | SND_NOWAIT | SND_NODEFAULT | SND_ASYNC
constexpr DWORD kSoundFlags = 0x00022003;
}  // namespace

void DeliverTweet(_Application* application, const std::u16string& folderId, const std::u16string& storeId,
                  bool perSender, const TwitterStatus& tweet, CTwitterAccount& account, const std::u16string& seenKey,
                  CycleReport* report) {
  DeliveryTarget target;
  target.folderId = folderId;
  target.storeId = storeId;
  target.perSender = perSender;
  std::u16string entryId;
  const HRESULT hr = CreateTweetItem(application, target, tweet, account, &entryId);
  if (!seenKey.empty()) SeenTweets::Instance().Insert(seenKey);
  NewTweetFeed::Instance().AddFront(tweet, entryId);
  if (!report) return;
  if (SUCCEEDED(hr) && !entryId.empty()) {
    ++report->delivered;
    if (report->onDelivered) report->onDelivered(tweet, entryId);
  } else {
    ++report->failed;
  }
}

void PrefetchSenderPictures(const nevlora::CTwitterRunner& runner, const TweetList& list) {
  // One download per distinct address and cycle: a timeline of 200 tweets
  // from 20 senders costs 20 requests.
  std::unordered_set<std::u16string> fetched;
  for (const TwitterStatus& tweet : list) {
    if (runner.StopRequested()) break;
    if (tweet.user.profileImageUrl.empty() || !fetched.insert(tweet.user.profileImageUrl).second) continue;
    PrefetchToUrlCache(tweet.user.profileImageUrl);
  }
}

void PlayNewTweetSound(CTwitterAccount& account, std::size_t count) {
  if (count == 0) return;
  std::u16string sound;
  {
    auto guard = account.Lock();
    sound = account.NewMessageSound;
  }
  if (!sound.empty()) PlaySoundW(sound.c_str(), nullptr, kSoundFlags);
}

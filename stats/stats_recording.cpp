#include "stats/stats_recording.h"

#include <ctime>

#include "platform/text.h"
#include "platform/win32.h"
#include "settings/account.h"
#include "stats/stats_storage.h"
#include "store/markup.h"

namespace {

bool StatsEnabled() {
  CTwitterAccount& account = GetAccount();
  auto guard = account.Lock();
  return account.EnableStats;
}

// The store's life for one recording: one transaction over all counts and
// the pruning, so a cycle's counts appear at once.
void Finish(nevlora::CStatsStorage& store) {
  store.PruneOld();
  store.Commit();
  store.Rollback();
}

}  // namespace

void RecordReceivedTweets(const TweetList& tweets) {
  if (!StatsEnabled()) return;
  auto store = nevlora::OpenStatsStore();
  store->BeginTransaction();
  for (const TwitterStatus& tweet : tweets) {
    FILETIME ft{};
    // A tweet without a valid date would land in a period long gone, which
    // the pruning below deletes at once: leave it out.
    if (!SystemTimeToFileTime(&tweet.createdUtc, &ft)) continue;
    const std::int64_t time =
        (static_cast<std::int64_t>(FileTimeToU64(ft)) - static_cast<std::int64_t>(kFileTimeUnixEpoch)) / 10000000;
    store->AddCount(time, "r", "");
    if (!tweet.user.screenName.empty()) store->AddCount(time, "r", Utf16ToUtf8(tweet.user.screenName));
  }
  Finish(*store);
}

void RecordSentTweet(const std::u16string& text) {
  if (!StatsEnabled()) return;
  const std::string utf8 = Utf16ToUtf8(text);
  // The same patterns as LeadingReplyName and DirectMessageTarget, with the
  // name kept in UTF-8; both anchored at the first character.
  std::string addressee = FirstCapture("^@(\\w+)", utf8);
  if (addressee.empty()) addressee = FirstCapture("^d (\\w+)", utf8);
  auto store = nevlora::OpenStatsStore();
  store->BeginTransaction();
  if (!utf8.empty()) {
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    store->AddCount(now, "s", "");
    if (!addressee.empty()) store->AddCount(now, "s", addressee);
  }
  Finish(*store);
}

#include "stats/stats_recording.h"

#include <ctime>

#include "diag/logging.h"
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

// One transaction covers all counts and the pruning of a recording, so a
// cycle's counts appear at once. Without it (another connection kept the
// database locked past the busy timeout, or it could not be opened) every
// statement would wait out that timeout on its own: the recording is
// skipped instead. `step` names the recorder in the log line.
bool Begin(nevlora::CStatsStorage& store, const char* step) {
  const int rc = store.BeginTransaction();
  if (rc == 0) return true;
  LogCategory("stats").error("%s: bt failed. %d", step, rc);
  return false;
}

void Finish(nevlora::CStatsStorage& store) {
  store.PruneOld();
  store.Commit();
  store.Rollback();
}

}  // namespace

void RecordReceivedTweets(const TweetList& tweets) {
  if (!StatsEnabled()) return;
  auto store = nevlora::OpenStatsStore();
  if (!Begin(*store, "rrt")) return;
  for (const TwitterStatus& tweet : tweets) {
    std::int64_t time = 0;
    // A tweet without a valid date would land in a period long gone, which
    // the pruning below deletes at once: leave it out.
    if (!SystemTimeToUnixSeconds(tweet.createdUtc, &time)) continue;
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
  if (!Begin(*store, "rst")) return;
  if (!utf8.empty()) {
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    store->AddCount(now, "s", "");
    if (!addressee.empty()) store->AddCount(now, "s", addressee);
  }
  Finish(*store);
}

#include "engine/saved_search_cycle.h"

#include "client/search.h"
#include "diag/logging.h"
#include "engine/delivery.h"
#include "engine/seen_tweets.h"
#include "engine/twitter_runner.h"
#include "platform/text.h"
#include "settings/account.h"
#include "store/outlook_access.h"

namespace {

log4cpp::Category& Log() { return LogCategory("twr"); }

// The search may be edited or removed on the UI thread while this one runs
// against the service, so it runs on a copy.
bool SameSearch(const CSearchOpts& a, const CSearchOpts& b) {
  return a.SearchString == b.SearchString && a.NewMessageFolderId == b.NewMessageFolderId &&
         a.NewMessageFolderStoreId == b.NewMessageFolderStoreId;
}

}  // namespace

void RunSavedSearch(nevlora::CTwitterRunner& runner, CTwitterAccount& account, std::size_t index, int& count,
                    CycleReport* report) {
  count = 0;
  CSearchOpts search;
  std::u16string accountFolderId, accountStoreId;
  {
    auto guard = account.Lock();
    if (index >= account.Searches.Count()) return;
    search = account.Searches.At(index);
    accountFolderId = account.NewMessageFolderId;
    accountStoreId = account.NewMessageFolderStoreId;
  }
  const CSearchOpts original = search;
  const std::u16string oldLastId = search.LastMsgId;
  TwitterResult result;
  TwitterCredentials noCredentials;
  TweetList list;
  SearchTweets(search, result, noCredentials, list, account);
  {
    // Progress goes back only to the same search, still where it was and
    // not moved on by an overlapping run meanwhile.
    auto guard = account.Lock();
    if (index < account.Searches.Count() && SameSearch(account.Searches.At(index), original) &&
        account.Searches.At(index).LastMsgId == original.LastMsgId) {
      account.Searches.At(index).LastMsgId = search.LastMsgId;
      account.Searches.At(index).SLID = search.SLID;
    }
  }
  Log().debug("ros: ros: %d, nm: %d, sq: %s, nd: %s, od: %s", result.code, static_cast<int>(list.size()),
              Utf16ToAnsi(search.SearchString).c_str(), Utf16ToAnsi(search.LastMsgId).c_str(),
              Utf16ToAnsi(oldLastId).c_str());
  if (result.code != ResultOk) {
    Log().error("ros: Error: %d, Http: %d", result.code, result.httpStatus);
    if (report) ++report->failedSearches;
    return;
  }
  Log().debug("ros: Found %d new messages.", static_cast<int>(list.size()));
  if (report) report->fetched += static_cast<int>(list.size());

  ComPtr<_Application> application = runner.Application();
  const bool ownFolder = !search.NewMessageFolderStoreId.empty();
  const std::u16string& folderId = ownFolder ? search.NewMessageFolderId : accountFolderId;
  const std::u16string& storeId = ownFolder ? search.NewMessageFolderStoreId : accountStoreId;
  const std::u16string keyPrefix = search.NewMessageFolderId.empty() ? accountFolderId : search.NewMessageFolderId;
  for (const TwitterStatus& tweet : list) {
    const std::u16string key = MakeSeenKey(keyPrefix, tweet.id);
    if (!key.empty() && SeenTweets::Instance().Contains(key)) {
      Log().debug("ros: sb. t: %s, s: %s", Utf16ToAnsi(tweet.text).c_str(), Utf16ToAnsi(tweet.user.screenName).c_str());
      continue;
    }
    DeliverTweet(application.get(), folderId, storeId, false, tweet, account, key, report);
  }
  // On the UI thread the pictures are not fetched.
  if (GetCurrentThreadId() != OutlookUiThreadId()) PrefetchSenderPictures(runner, list);
  if (!list.empty()) account.Save();
  count = static_cast<int>(list.size());
}

void RunSavedSearches(nevlora::CTwitterRunner& runner, CycleReport* report) {
  CTwitterAccount& account = GetAccount();
  int total = 0;
  for (std::size_t i = 0;; ++i) {
    {
      auto guard = account.Lock();
      if (i >= account.Searches.Count()) break;
    }
    int count = 0;
    RunSavedSearch(runner, account, i, count, report);
    total += count;
    if (runner.StopRequested()) return;
  }
  PlayNewTweetSound(account, static_cast<std::size_t>(total));
}

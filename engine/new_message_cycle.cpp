#include "engine/new_message_cycle.h"

#include "client/result_message.h"
#include "client/timeline.h"
#include "diag/logging.h"
#include "engine/delivery.h"
#include "engine/seen_tweets.h"
#include "engine/twitter_runner.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "res/string_table.h"
#include "settings/account.h"
#include "stats/stats_recording.h"

namespace {

log4cpp::Category& Log() { return LogCategory("twr"); }

}  // namespace

void CheckNewMessages(nevlora::CTwitterRunner& runner, bool interactive, void* parentWindow, int streamMask,
                      CycleReport* report) {
  CTwitterAccount& account = GetAccount();
  const std::u16string password = account.GetPassword();
  std::u16string user;
  bool polling, friends, replies, direct;
  {
    auto guard = account.Lock();
    user = account.User;
    polling = account.PollForNewTweets;
    friends = account.FetchFriendTimeline;
    replies = account.FetchReplies;
    direct = account.FetchDirectMessages;
  }
  Log().debug("cnm: 1 %d %x %s %d", interactive ? 1 : 0, static_cast<unsigned>(streamMask), Utf16ToAnsi(user).c_str(),
              static_cast<int>(password.size()));
  if (!interactive && !polling) {
    Log().debug("cnm: off");
    return;
  }
  if (user.empty()) {
    Log().debug("cnm: no un");
    return;
  }

  TwitterCredentials credentials;
  TwitterResult result;
  TweetList list;
  if (friends) {
    std::u16string oldSince;
    {
      auto guard = account.Lock();
      oldSince = account.FriendsSince;
    }
    FetchFriendsTimeline(account, credentials, result, list);
    std::u16string newSince;
    {
      auto guard = account.Lock();
      newSince = account.FriendsSince;
    }
    Log().debug("cnm: gft: %d, nm: %d, nd: %s, od: %s", result.code, static_cast<int>(list.size()),
                Utf16ToAnsi(newSince).c_str(), Utf16ToAnsi(oldSince).c_str());
    if (report) report->resultCode = result.code;
    if (result.code != ResultOk) {
      Log().error("cnm: Error: %d, Http: %d", result.code, result.httpStatus);
      const std::u16string message = FormatResultMessage(result);
      if (report) report->message = message;
      if (interactive) MessageBoxW(parentWindow, message.c_str(), LoadStringW(IDS_PRODUCT_NAME).c_str(), MB_ICONERROR);
      return;
    }
    Log().debug("cnm: Found %d new messages.", static_cast<int>(list.size()));
  }
  if (replies && (streamMask & kStreamReplies)) {
    TwitterResult repliesResult;
    FetchRepliesTimeline(account, credentials, repliesResult, list);
  }
  if (direct && (streamMask & kStreamDirect)) {
    TwitterResult directResult;
    FetchDirectTimeline(account, credentials, directResult, list);
  }
  // The markers are durable before any item exists.
  account.Save();
  if (report) report->fetched += static_cast<int>(list.size());

  ComPtr<_Application> application;
  if (!interactive) application = runner.Application();

  std::u16string folderId, storeId;
  bool perSender;
  {
    auto guard = account.Lock();
    folderId = account.NewMessageFolderId;
    storeId = account.NewMessageFolderStoreId;
    perSender = account.PerSenderFolders;
  }
  for (const TwitterStatus& tweet : list) {
    const std::u16string key = MakeSeenKey(user, tweet.id);
    if (!key.empty() && SeenTweets::Instance().Contains(key)) {
      Log().debug("cnm: sb. t: %s, s: %s", Utf16ToAnsi(tweet.text).c_str(), Utf16ToAnsi(tweet.user.screenName).c_str());
      continue;
    }
    DeliverTweet(application.get(), folderId, storeId, perSender, tweet, account, key, report);
  }

  PrefetchSenderPictures(runner, list);
  PlayNewTweetSound(account, list.size());
  RecordReceivedTweets(list);
}

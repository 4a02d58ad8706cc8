#include "client/timeline.h"

#include <json-c/json.h>

#include <optional>

#include "client/fetch_rules.h"
#include "client/json_decode.h"
#include "client/query_string.h"
#include "client/result_message.h"
#include "diag/logging.h"
#include "platform/text.h"

void FillCredentials(const CTwitterAccount& account, TwitterCredentials& credentials) {
  {
    auto guard = account.Lock();
    credentials.user = Utf16ToUtf8(account.User);
  }
  credentials.password = Utf16ToUtf8(account.GetPassword());
}

void FetchTimeline(TwitterResult& result, const TwitterCredentials& credentials,
                   std::u16string CTwitterAccount::*dateValue, std::u16string CTwitterAccount::*lastIdValue,
                   int count, std::string_view path, CTwitterAccount& account, TweetList& list, TweetKind kind) {
  log4cpp::Category& log = LogCategory("tap");
  std::u16string lastId;
  std::string prefix, host;
  {
    auto guard = account.Lock();
    lastId = account.*lastIdValue;
    prefix = Utf16ToUtf8(account.ApiUrlPrefix);
    host = Utf16ToUtf8(account.ApiHost);
  }

  QueryString query;
  if (!lastId.empty()) query.Set("since_id", Utf16ToUtf8(lastId));
  if (count >= 1) query.Set("count", std::to_string(count));
  std::string requestPath = prefix;
  requestPath += path;
  if (!query.Empty()) requestPath += "?" + query.Render();

  HttpResponse response;
  SendTwitterRequest(credentials, host, requestPath, {}, response);
  result.httpStatus = response.status;
  switch (response.status) {
    case 200:
    case 304: break;
    case 401:
      result.code = ResultBadCredentials;
      ParseTwitterError(response, result);
      return;
    case 400:
      result.code = ResultServiceError;
      ParseTwitterError(response, result);
      return;
    default: result.code = ResultUnreachable; return;
  }

  result.code = ResultOk;
  {
    auto guard = account.Lock();
    account.*dateValue = Utf8ToUtf16(response.date);
  }
  if (response.body.empty()) {
    log.error("gft: empty response");
    return;
  }
  JsonPtr top(ParseJsonText(response.body));
  if (!top) {
    log.error("gft: failed to parse twitter response");
    result.code = ResultFailed;
    return;
  }
  if (json_object_is_type(top.get(), json_type_object)) {
    log.error("gft: twitter returned an error.");
    result.code = ResultServiceError;
    return;
  }
  if (!json_object_is_type(top.get(), json_type_array)) {
    log.error("gft: unexpected json obj type. top.");
    result.code = ResultFailed;
    return;
  }

  const std::int64_t since = MessageIdOrZero(lastId);
  std::int64_t largest = 0;
  std::u16string largestText;
  std::size_t appended = 0;
  const std::size_t length = json_object_array_length(top.get());
  for (std::size_t i = 0; i < length; ++i) {
    json_object* element = json_object_array_get_idx(top.get(), i);
    // Only objects are tweets: anything else would become an empty item that
    // no id could ever tell apart.
    if (!element || !json_object_is_type(element, json_type_object)) continue;
    TwitterStatus status = DecodeStatus(element);
    status.kind = kind;
    // An id that is no plain 64-bit number never becomes the marker: a
    // saturated one would hide every later tweet.
    const std::optional<std::int64_t> id = ParseMessageId(status.id);
    if (id && *id > largest) {
      largest = *id;
      largestText = status.id;
    }
    if (since == 0 || id.value_or(0) > since) {
      list.push_back(std::move(status));
      ++appended;
    }
  }
  if (appended > 0 && largest > 0) {
    auto guard = account.Lock();
    // A fetch running at the same time may have moved the marker further.
    if (IsNewerMarker(largestText, account.*lastIdValue)) account.*lastIdValue = largestText;
  }
}

namespace {

void FetchOne(CTwitterAccount& account, TwitterCredentials& credentials, TwitterResult& result, TweetList& list,
              std::u16string CTwitterAccount::*dateValue, std::u16string CTwitterAccount::*lastIdValue,
              std::string_view path, TweetKind kind) {
  FillCredentials(account, credentials);
  FetchTimeline(result, credentials, dateValue, lastIdValue, RequestedMessageCount(account), path, account, list,
                kind);
}

}  // namespace

void FetchFriendsTimeline(CTwitterAccount& account, TwitterCredentials& credentials, TwitterResult& result,
                          TweetList& list) {
  FetchOne(account, credentials, result, list, &CTwitterAccount::FriendsSince, &CTwitterAccount::FriendsLastMsgId,
           "/statuses/friends_timeline.json", TweetKindFriends);
}

void FetchRepliesTimeline(CTwitterAccount& account, TwitterCredentials& credentials, TwitterResult& result,
                          TweetList& list) {
  FetchOne(account, credentials, result, list, &CTwitterAccount::RepliesSince, &CTwitterAccount::RepliesLastMsgId,
           "/statuses/replies.json", TweetKindReply);
}

void FetchDirectTimeline(CTwitterAccount& account, TwitterCredentials& credentials, TwitterResult& result,
                         TweetList& list) {
  FetchOne(account, credentials, result, list, &CTwitterAccount::DirectSince, &CTwitterAccount::DirectLastMsgId,
           "/direct_messages.json", TweetKindDirect);
}

#include "client/search.h"

#include <json-c/json.h>

#include <algorithm>

#include "client/fetch_rules.h"
#include "client/json_decode.h"
#include "client/query_string.h"
#include "client/result_message.h"
#include "client/service_addresses.h"
#include "diag/logging.h"
#include "platform/text.h"

namespace {

// The answer's "max_id" when it is a JSON integer or string, else null.
json_object* MaxIdMember(json_object* top) {
  json_object* member = nullptr;
  if (!json_object_object_get_ex(top, "max_id", &member) || !member) return nullptr;
  if (!json_object_is_type(member, json_type_int) && !json_object_is_type(member, json_type_string)) return nullptr;
  return member;
}

}  // namespace

void SearchTweets(CSearchOpts& search, TwitterResult& result, const TwitterCredentials& credentials,
                  TweetList& list, CTwitterAccount& account) {
  log4cpp::Category& log = LogCategory("tap");
  std::u16string searchString, lastMsgId;
  bool sendSince = false;
  const int rpp = std::min(100, RequestedMessageCount(account));
  {
    auto guard = account.Lock();
    searchString = search.SearchString;
    lastMsgId = search.LastMsgId;
    sendSince = search.SLID && !search.LastMsgId.empty();
  }
  if (searchString.empty()) return;

  QueryString query;
  if (sendSince) query.Set("since_id", Utf16ToUtf8(lastMsgId));
  query.Set("q", Utf16ToUtf8(searchString));
  if (rpp >= 1) query.Set("rpp", std::to_string(rpp));
  query.Set("lang", "en");

  HttpResponse response;
  SendTwitterRequest(credentials, kTwitterSearchHost, "/search.json?" + query.Render(), {}, response);
  result.httpStatus = response.status;
  {
    auto guard = account.Lock();
    // A search the service refuses (403, 404) is asked again without since_id.
    search.SLID = response.status != 403 && response.status != 404;
  }
  if (response.status != 200 && response.status != 304) {
    switch (response.status) {
      case 401: result.code = ResultBadCredentials; break;
      case 400: result.code = ResultServiceError; break;
      default: result.code = ResultUnreachable; break;
    }
    ParseTwitterError(response, result);
    return;
  }

  result.code = ResultOk;
  if (response.body.empty()) {
    log.error("sch empty response");
    return;
  }
  JsonPtr top(ParseJsonText(response.body));
  if (!top) {
    log.error("sch: failed to parse twitter response");
    result.code = ResultFailed;
    return;
  }
  if (!json_object_is_type(top.get(), json_type_object)) {
    log.error("sch: search result - unexpected json obj type. top.");
    result.code = ResultFailed;
    return;
  }
  json_object* results = nullptr;
  if (!json_object_object_get_ex(top.get(), "results", &results)) {
    log.error("sch: no results");
    return;
  }
  if (!results || !json_object_is_type(results, json_type_array)) {
    log.error("sch: unespected json obj type. top.");
    result.code = ResultFailed;
    return;
  }

  const std::int64_t since = MessageIdOrZero(lastMsgId);
  std::size_t appended = 0;
  const std::size_t length = json_object_array_length(results);
  for (std::size_t i = 0; i < length; ++i) {
    json_object* element = json_object_array_get_idx(results, i);
    // Only objects are results: anything else would become an empty item.
    if (!element || !json_object_is_type(element, json_type_object)) continue;
    TwitterStatus status = DecodeSearchResult(element);
    if (since == 0 || MessageIdOrZero(status.id) > since) {
      list.push_back(std::move(status));
      ++appended;
    }
  }
  if (appended > 0) {
    // "max_id" becomes the marker only as a plain number above the current
    // one: an object, a saturated or a smaller value would corrupt it.
    std::u16string maxId;
    std::string text;
    if (JsonValueText(MaxIdMember(top.get()), &text)) maxId = Utf8ToUtf16(text);
    auto guard = account.Lock();
    if (IsNewerMarker(maxId, search.LastMsgId)) search.LastMsgId = maxId;
  }
}

#include "client/json_decode.h"

#include <json-c/json.h>
#include <pcrecpp.h>

#include "platform/text.h"
#include "store/markup.h"
#include "store/pcre_options.h"

void JsonRelease::operator()(json_object* value) const {
  if (value) json_object_put(value);
}

json_object* ParseJsonText(const std::string& text) { return json_tokener_parse(text.c_str()); }

bool JsonValueText(json_object* value, std::string* utf8) {
  if (!value) return false;  // json-c holds a JSON null as a null pointer
  if (json_object_is_type(value, json_type_string)) {
    utf8->assign(json_object_get_string(value), static_cast<std::size_t>(json_object_get_string_len(value)));
  } else {
    const char* rendered = json_object_to_json_string(value);
    utf8->assign(rendered ? rendered : "");
  }
  return true;
}

void ReadJsonField(std::u16string& field, json_object* object, const char* name) {
  if (!object || !json_object_is_type(object, json_type_object)) return;
  json_object* member = nullptr;
  if (!json_object_object_get_ex(object, name, &member)) return;
  std::string text;
  if (JsonValueText(member, &text)) field = Utf8ToUtf16(text);
}

namespace {

bool IsObject(json_object* value) { return value && json_object_is_type(value, json_type_object); }

// The decoded text is marked up and its leading reply name taken from the
// bytes exactly as the service sent them.
void ReadTweetText(TwitterStatus& status, json_object* object) {
  json_object* member = nullptr;
  if (!json_object_object_get_ex(object, "text", &member)) return;
  std::string raw;
  if (!JsonValueText(member, &raw)) return;  // a null text gives nothing
  status.rawText = raw;
  status.html = MarkupTweetText(raw);
  status.replyToName = LeadingReplyName(raw);
}

}  // namespace

TwitterUser DecodeUser(json_object* value) {
  TwitterUser user;
  if (!IsObject(value)) return user;
  ReadJsonField(user.id, value, "id");
  ReadJsonField(user.name, value, "name");
  ReadJsonField(user.screenName, value, "screen_name");
  ReadJsonField(user.location, value, "location");
  ReadJsonField(user.description, value, "description");
  ReadJsonField(user.profileImageUrl, value, "profile_image_url");
  ReadJsonField(user.url, value, "url");
  ReadJsonField(user.followersCount, value, "followers_count");
  ReadJsonField(user.friendsCount, value, "friends_count");
  ReadJsonField(user.statusesCount, value, "statuses_count");
  json_object* isProtected = nullptr;
  if (json_object_object_get_ex(value, "protected", &isProtected) && isProtected) {
    if (json_object_is_type(isProtected, json_type_boolean)) {
      user.isProtected = json_object_get_boolean(isProtected) != 0;
    } else if (json_object_is_type(isProtected, json_type_string)) {
      const std::string text(json_object_get_string(isProtected),
                             static_cast<std::size_t>(json_object_get_string_len(isProtected)));
      if (text == "true") user.isProtected = true;
      else if (text == "false") user.isProtected = false;
    }
  }
  return user;
}

TwitterStatus DecodeStatus(json_object* value) {
  TwitterStatus status;
  if (!IsObject(value)) return status;
  json_object* author = nullptr;
  if (json_object_object_get_ex(value, "user", &author) || json_object_object_get_ex(value, "sender", &author))
    status.user = DecodeUser(author);
  ReadJsonField(status.createdAtText, value, "created_at");
  ParseStatusDate(status.createdAtText, &status.createdUtc);
  ReadJsonField(status.id, value, "id");
  ReadJsonField(status.text, value, "text");
  ReadJsonField(status.source, value, "source");
  ReadJsonField(status.inReplyToUserId, value, "in_reply_to_user_id");
  ReadJsonField(status.inReplyToStatusId, value, "in_reply_to_status_id");
  ReadJsonField(status.recipientScreenName, value, "recipient_screen_name");
  ReadTweetText(status, value);
  return status;
}

TwitterStatus DecodeSearchResult(json_object* value) {
  TwitterStatus status;
  if (!IsObject(value)) return status;
  ReadJsonField(status.createdAtText, value, "created_at");
  ParseSearchDate(status.createdAtText, &status.createdUtc);
  ReadJsonField(status.id, value, "id");
  ReadJsonField(status.text, value, "text");
  ReadTweetText(status, value);
  ReadJsonField(status.user.id, value, "from_user_id");
  ReadJsonField(status.user.name, value, "from_user");
  ReadJsonField(status.user.screenName, value, "from_user");
  ReadJsonField(status.user.profileImageUrl, value, "profile_image_url");
  status.kind = TweetKindSearch;
  return status;
}

WORD MonthFromName(std::string_view name) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (WORD i = 0; i < 12; ++i)
    if (name == kMonths[i]) return static_cast<WORD>(i + 1);
  return 1;
}

// Both parsers convert the numbers straight into the result, group by group:
// a number that does not fit stops the conversion there, and the month is set
// only when every group converted.
bool ParseStatusDate(std::u16string_view text, SYSTEMTIME* utc) {
  const std::string utf8 = Utf16ToUtf8(text);
  GetSystemTime(utc);
  static const char kPattern[] = R"re((\w{3}) (\w{3}) (\d+) (\d+):(\d+):(\d+) ([+-]*)(\d+) (\d+))re";
  std::string weekday, month, zoneSign;
  unsigned short zoneOffset = 0;
  const pcrecpp::RE re(kPattern, Utf8PatternOptions());
  if (!re.PartialMatch(utf8, &weekday, &month, &utc->wDay, &utc->wHour, &utc->wMinute, &utc->wSecond, &zoneSign,
                       &zoneOffset, &utc->wYear))
    return false;
  utc->wMonth = MonthFromName(month);
  return true;
}

bool ParseSearchDate(std::u16string_view text, SYSTEMTIME* utc) {
  const std::string utf8 = Utf16ToUtf8(text);
  GetSystemTime(utc);
  static const char kPattern[] = R"re((\w{3}), (\d+) (\w{3}) (\d+) (\d+):(\d+):(\d+) ([+-]*)(\d+))re";
  std::string weekday, month, zoneSign;
  unsigned short zoneOffset = 0;
  const pcrecpp::RE re(kPattern, Utf8PatternOptions());
  if (!re.PartialMatch(utf8, &weekday, &utc->wDay, &month, &utc->wYear, &utc->wHour, &utc->wMinute, &utc->wSecond,
                       &zoneSign, &zoneOffset))
    return false;
  utc->wMonth = MonthFromName(month);
  return true;
}

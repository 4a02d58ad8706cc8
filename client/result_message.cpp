#include "client/result_message.h"

#include <json-c/json.h>

#include "client/json_decode.h"
#include "platform/text.h"
#include "res/string_table.h"

void ParseTwitterError(const HttpResponse& response, TwitterResult& result) {
  if (!response.body.empty()) {
    JsonPtr top(ParseJsonText(response.body));
    if (top && json_object_is_type(top.get(), json_type_object)) ReadJsonField(result.errorText, top.get(), "error");
  }
  if (result.errorText.empty()) result.errorText = Utf8ToUtf16(response.body);
}

std::u16string FormatResultMessage(TwitterResult& result) {
  std::u16string message;
  switch (result.code) {
    case ResultBadCredentials: message = LoadStringW(IDS_INVALID_CREDENTIALS); break;
    case ResultUnreachable: message = LoadStringW(IDS_UNREACHABLE); break;
    case ResultServiceError: message = FormatStringW(IDS_SERVICE_ERROR, {result.errorText}); break;
    default: message = FormatStringW(IDS_CONTACT_FAILED, {static_cast<std::int64_t>(result.code)}); break;
  }
  if (result.code != ResultServiceError && !result.errorText.empty()) {
    message += u"\n\n";
    message += result.errorText;
  }
  result.message = message;
  return message;
}

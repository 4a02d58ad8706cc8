// The client's decoders on untrusted service answers: JSON records, error
// answers, both date forms and the tweet text markup.
#include <cstddef>
#include <cstdint>
#include <string>

#include <json-c/json.h>

#include "client/json_decode.h"
#include "client/result_message.h"
#include "platform/text.h"
#include "store/markup.h"

namespace {

void DecodeElements(json_object* list, bool search) {
  const std::size_t n = json_object_array_length(list);
  for (std::size_t i = 0; i < n; ++i) {
    json_object* e = json_object_array_get_idx(list, i);
    if (search)
      DecodeSearchResult(e);
    else
      DecodeStatus(e);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  JsonPtr top(ParseJsonText(text));
  if (top) {
    DecodeStatus(top.get());
    DecodeUser(top.get());
    DecodeSearchResult(top.get());
    json_object* results = nullptr;
    if (json_object_is_type(top.get(), json_type_array))
      DecodeElements(top.get(), false);
    else if (json_object_object_get_ex(top.get(), "results", &results) && results &&
             json_object_is_type(results, json_type_array))
      DecodeElements(results, true);
  }

  HttpResponse response;
  response.status = 401;
  response.body = text;
  TwitterResult result;
  ParseTwitterError(response, result);
  result.code = size % 2 ? ResultServiceError : ResultBadCredentials;
  FormatResultMessage(result);

  const std::u16string wide = Utf8ToUtf16(text);
  SYSTEMTIME st{};
  ParseStatusDate(wide, &st);
  ParseSearchDate(wide, &st);
  MonthFromName(text);

  MarkupTweetText(text);
  LeadingReplyName(text);
  DirectMessageTarget(text);
  return 0;
}

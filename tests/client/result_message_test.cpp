#include <gtest/gtest.h>

#include "client/result_message.h"

namespace {

HttpResponse Response(int status, const std::string& body) {
  HttpResponse r;
  r.status = status;
  r.body = body;
  return r;
}

TEST(ParseTwitterError, TakesTheErrorMemberOrElseTheWholeBody) {
  struct Case {
    const char* body;
    std::u16string expected;
  } cases[] = {
      {R"({"request":"/account/verify_credentials.json","error":"Could not authenticate you."})",
       u"Could not authenticate you."},
      {R"({"error":"\u3042\u306a\u305f"})", u"あなた"},
      {"<html><body>Over capacity</body></html>", u"<html><body>Over capacity</body></html>"},
      {R"({"request":"/x"})", u"{\"request\":\"/x\"}"},
      {R"({"error":""})", u"{\"error\":\"\"}"},
      {R"(["error"])", u"[\"error\"]"},
      {R"({"error":404})", u"404"},
      {"", u""},
  };
  for (const auto& c : cases) {
    TwitterResult result;
    ParseTwitterError(Response(401, c.body), result);
    EXPECT_EQ(result.errorText, c.expected) << c.body;
  }
  // A body that is not valid UTF-8 still becomes text.
  TwitterResult result;
  ParseTwitterError(Response(500, "bad \xff byte"), result);
  EXPECT_EQ(result.errorText, u"bad \uFFFD byte");
}

TEST(FormatResultMessage, PicksTheMessageByCodeAndAppendsTheServiceText) {
  TwitterResult r;
  r.code = ResultBadCredentials;
  r.errorText = u"Could not authenticate you.";
  EXPECT_EQ(FormatResultMessage(r), u"Invalid user name or password.\n\nCould not authenticate you.");
  EXPECT_EQ(r.message, u"Invalid user name or password.\n\nCould not authenticate you.");

  r = TwitterResult{};
  r.code = ResultUnreachable;
  EXPECT_EQ(FormatResultMessage(r),
            u"Unable to reach Twitter servers. Please check your internet connection. This may also be caused by "
            u"Twitter servers going down.");

  r = TwitterResult{};
  r.code = ResultServiceError;
  EXPECT_EQ(FormatResultMessage(r), u"Twitter server returned an error:\n\n");
  r.errorText = u"Status is over 140 characters. %1 stays";
  EXPECT_EQ(FormatResultMessage(r), u"Twitter server returned an error:\n\nStatus is over 140 characters. %1 stays");

  r = TwitterResult{};
  r.code = ResultFailed;
  EXPECT_EQ(FormatResultMessage(r),
            u"Unable to contact Twitter servers. Please check your internet connection. Error: -1.");
  r.code = 0;
  r.errorText = u"x";
  EXPECT_EQ(FormatResultMessage(r),
            u"Unable to contact Twitter servers. Please check your internet connection. Error: 0.\n\nx");
}

}  // namespace

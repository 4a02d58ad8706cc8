#include <gtest/gtest.h>

#include <json-c/json.h>

#include "client/json_decode.h"

namespace {

JsonPtr Parse(const std::string& text) {
  JsonPtr value(ParseJsonText(text));
  EXPECT_TRUE(value) << text;
  return value;
}

SYSTEMTIME Now() {
  SYSTEMTIME st{};
  GetSystemTime(&st);
  return st;
}

TEST(ReadJsonField, CopiesTextOrRenderingAndLeavesAbsentAndNullAlone) {
  auto o = Parse(R"({"s":"héllo","n":123,"big":26755176471724032,"neg":-5,"t":true,"f":false,"z":null,)"
                 R"("a":[1,"x"],"o":{"k":"v"},"e":""})");
  std::u16string field = u"before";
  ReadJsonField(field, o.get(), "missing");
  EXPECT_EQ(field, u"before");
  ReadJsonField(field, o.get(), "z");
  EXPECT_EQ(field, u"before");
  ReadJsonField(field, o.get(), "s");
  EXPECT_EQ(field, u"héllo");
  ReadJsonField(field, o.get(), "n");
  EXPECT_EQ(field, u"123");
  ReadJsonField(field, o.get(), "big");  // above 2^53: no rounding through a double
  EXPECT_EQ(field, u"26755176471724032");
  ReadJsonField(field, o.get(), "neg");
  EXPECT_EQ(field, u"-5");
  ReadJsonField(field, o.get(), "t");
  EXPECT_EQ(field, u"true");
  ReadJsonField(field, o.get(), "f");
  EXPECT_EQ(field, u"false");
  ReadJsonField(field, o.get(), "a");
  EXPECT_NE(field.find(u"\"x\""), std::u16string::npos);
  ReadJsonField(field, o.get(), "o");
  EXPECT_NE(field.find(u"\"k\""), std::u16string::npos);
  ReadJsonField(field, o.get(), "e");
  EXPECT_EQ(field, u"");

  auto array = Parse("[1]");
  field = u"kept";
  ReadJsonField(field, array.get(), "x");
  ReadJsonField(field, nullptr, "x");
  EXPECT_EQ(field, u"kept");
}

TEST(DecodeStatus, ReadsTheStatusMembersAndMarksUpTheText) {
  auto o = Parse(R"({"created_at":"Wed Aug 27 13:08:45 +0000 2008","id":1234567890123,)"
                 R"("text":"@bob see http:\/\/a.example\/x. I &lt;3 #tea","source":"<a href=\"http://c.example\">C</a>",)"
                 R"("in_reply_to_status_id":null,"in_reply_to_user_id":42,"favorited":false,)"
                 R"("user":{"id":7,"screen_name":"alice","name":"Alice","protected":false}})");
  const TwitterStatus s = DecodeStatus(o.get());
  EXPECT_EQ(s.id, u"1234567890123");
  EXPECT_EQ(s.createdAtText, u"Wed Aug 27 13:08:45 +0000 2008");
  EXPECT_EQ(s.rawText, "@bob see http://a.example/x. I &lt;3 #tea");
  EXPECT_EQ(s.text, u"@bob see http://a.example/x. I &lt;3 #tea");
  EXPECT_NE(s.html.find(u"<a href='http://a.example/x'>http://a.example/x</a>. I &lt;3 "), std::u16string::npos);
  EXPECT_NE(s.html.find(u"q=%23tea'>#tea</a>"), std::u16string::npos);
  EXPECT_EQ(s.replyToName, u"bob");
  EXPECT_EQ(s.source, u"<a href=\"http://c.example\">C</a>");
  EXPECT_EQ(s.inReplyToStatusId, u"");
  EXPECT_EQ(s.inReplyToUserId, u"42");
  EXPECT_EQ(s.recipientScreenName, u"");
  EXPECT_EQ(s.user.screenName, u"alice");
  EXPECT_EQ(s.user.id, u"7");
  EXPECT_EQ(s.kind, TweetKindNone);  // the caller's to set
  EXPECT_EQ(s.code, 0);
  EXPECT_EQ(s.createdUtc.wYear, 2008);
  EXPECT_EQ(s.createdUtc.wMonth, 8);
  EXPECT_EQ(s.createdUtc.wDay, 27);
  EXPECT_EQ(s.createdUtc.wHour, 13);
  EXPECT_EQ(s.createdUtc.wMinute, 8);
  EXPECT_EQ(s.createdUtc.wSecond, 45);
  EXPECT_FALSE(s.postedByUser);
}

TEST(DecodeStatus, DirectMessagesTakeTheSenderAndOddShapesStayFresh) {
  auto dm = Parse(R"({"id":9,"text":"1246855763111","recipient_screen_name":"wren",)"
                  R"("sender":{"screen_name":"alice"},"recipient":{"screen_name":"wren"}})");
  TwitterStatus s = DecodeStatus(dm.get());
  EXPECT_EQ(s.user.screenName, u"alice");
  EXPECT_EQ(s.recipientScreenName, u"wren");
  EXPECT_EQ(s.text, u"1246855763111");

  // "user" wins over "sender"; a null author gives a fresh user.
  auto both = Parse(R"({"user":{"screen_name":"u"},"sender":{"screen_name":"s"}})");
  EXPECT_EQ(DecodeStatus(both.get()).user.screenName, u"u");
  auto nullUser = Parse(R"({"user":null,"sender":{"screen_name":"s"},"text":null})");
  s = DecodeStatus(nullUser.get());
  EXPECT_EQ(s.user.screenName, u"");
  EXPECT_EQ(s.rawText, "");
  EXPECT_EQ(s.html, u"");

  // A number where the text belongs is taken as its digits, like any field.
  auto numericText = Parse(R"({"text":12})");
  s = DecodeStatus(numericText.get());
  EXPECT_EQ(s.rawText, "12");
  EXPECT_EQ(s.html, u"12");

  for (const char* odd : {"[]", "\"text\"", "5", "true"}) {
    auto v = Parse(odd);
    const TwitterStatus fresh = DecodeStatus(v.get());
    EXPECT_EQ(fresh.id, u"");
    EXPECT_EQ(fresh.createdUtc.wYear, 0) << odd;
    EXPECT_EQ(DecodeUser(v.get()).screenName, u"");
    EXPECT_EQ(DecodeSearchResult(v.get()).kind, TweetKindNone);
  }
  EXPECT_EQ(DecodeStatus(nullptr).id, u"");
}

TEST(DecodeUser, ReadsEveryFieldAndTheProtectedFlagStrictly) {
  auto o = Parse(R"({"id":6358482,"name":"Twit 4J","screen_name":"twit4j","location":"Tokyo",)"
                 R"("description":null,"profile_image_url":"http://a.example/p.png","url":"http://b.example",)"
                 R"("followers_count":10,"friends_count":"20","statuses_count":30,"protected":true})");
  const TwitterUser u = DecodeUser(o.get());
  EXPECT_EQ(u.id, u"6358482");
  EXPECT_EQ(u.name, u"Twit 4J");
  EXPECT_EQ(u.screenName, u"twit4j");
  EXPECT_EQ(u.location, u"Tokyo");
  EXPECT_EQ(u.description, u"");
  EXPECT_EQ(u.profileImageUrl, u"http://a.example/p.png");
  EXPECT_EQ(u.url, u"http://b.example");
  EXPECT_EQ(u.followersCount, u"10");
  EXPECT_EQ(u.friendsCount, u"20");
  EXPECT_EQ(u.statusesCount, u"30");
  EXPECT_TRUE(u.isProtected);

  struct Case {
    const char* json;
    bool expected;
  } cases[] = {{R"({"protected":"true"})", true}, {R"({"protected":"false"})", false},
               {R"({"protected":"True"})", false}, {R"({"protected":"yes"})", false},
               {R"({"protected":1})", false},       {R"({"protected":null})", false},
               {R"({"protected":false})", false}};
  for (const auto& c : cases) {
    auto v = Parse(c.json);
    EXPECT_EQ(DecodeUser(v.get()).isProtected, c.expected) << c.json;
  }
}

TEST(DecodeSearchResult, FillsTheAuthorFromTheFromUserFields) {
  auto o = Parse(R"({"text":"@jnunemaker hi &quot;you&quot;","to_user_id":19106,"from_user":"PatParslow","id":1446425395,)"
                 R"("from_user_id":297147,"iso_language_code":"en","source":"&lt;a href=&quot;x&quot;&gt;",)"
                 R"("profile_image_url":"http://s3.example/p.jpg","created_at":"Fri, 03 Apr 2009 16:55:40 +0000"})");
  const TwitterStatus s = DecodeSearchResult(o.get());
  EXPECT_EQ(s.kind, TweetKindSearch);
  EXPECT_EQ(s.id, u"1446425395");
  EXPECT_EQ(s.user.name, u"PatParslow");
  EXPECT_EQ(s.user.screenName, u"PatParslow");
  EXPECT_EQ(s.user.id, u"297147");
  EXPECT_EQ(s.user.profileImageUrl, u"http://s3.example/p.jpg");
  EXPECT_EQ(s.replyToName, u"jnunemaker");
  EXPECT_EQ(s.source, u"");  // not a member the search decoder reads
  EXPECT_EQ(s.createdUtc.wYear, 2009);
  EXPECT_EQ(s.createdUtc.wMonth, 4);
  EXPECT_EQ(s.createdUtc.wDay, 3);
  EXPECT_EQ(s.createdUtc.wHour, 16);
}

TEST(DateParsing, StatusAndSearchFormsAreTakenAsWrittenInUtc) {
  SYSTEMTIME st{};
  ASSERT_TRUE(ParseStatusDate(u"Wed Aug 27 13:08:45 +0000 2008", &st));
  EXPECT_EQ(st.wYear, 2008);
  EXPECT_EQ(st.wMonth, 8);
  EXPECT_EQ(st.wDay, 27);
  EXPECT_EQ(st.wHour, 13);
  EXPECT_EQ(st.wMinute, 8);
  EXPECT_EQ(st.wSecond, 45);
  SYSTEMTIME offset{};
  ASSERT_TRUE(ParseStatusDate(u"Wed Aug 27 13:08:45 +0200 2008", &offset));
  EXPECT_EQ(offset.wHour, 13);  // the offset is not applied
  ASSERT_TRUE(ParseStatusDate(u"Thu Nov 29 06:44:23 -0800 2018", &offset));
  EXPECT_EQ(offset.wHour, 6);
  // Unanchored: text around the date is ignored.
  ASSERT_TRUE(ParseStatusDate(u"at Wed Dec 31 23:59:59 +0000 2008!", &st));
  EXPECT_EQ(st.wMonth, 12);

  ASSERT_TRUE(ParseSearchDate(u"Wed, 27 Aug 2008 13:08:45 +0000", &st));
  EXPECT_EQ(st.wYear, 2008);
  EXPECT_EQ(st.wMonth, 8);
  EXPECT_EQ(st.wDay, 27);
  EXPECT_EQ(st.wSecond, 45);
  EXPECT_FALSE(ParseSearchDate(u"Wed Aug 27 13:08:45 +0000 2008", &st));  // the other form
}

TEST(DateParsing, UnknownMonthsNonMatchesAndOverflow) {
  SYSTEMTIME st{};
  ASSERT_TRUE(ParseStatusDate(u"Wed Foo 27 13:08:45 +0000 2008", &st));
  EXPECT_EQ(st.wMonth, 1);

  const SYSTEMTIME before = Now();
  EXPECT_FALSE(ParseStatusDate(u"yesterday", &st));
  const SYSTEMTIME after = Now();
  EXPECT_GE(st.wYear, before.wYear);
  EXPECT_LE(st.wYear, after.wYear);
  EXPECT_GE(st.wYear, 2024);
  EXPECT_FALSE(ParseStatusDate(u"", &st));

  // A number past 16 bits stops the conversion: the fields before it are
  // set, the month is not.
  st = SYSTEMTIME{};
  EXPECT_FALSE(ParseStatusDate(u"Wed Aug 27 13:08:45 +0000 70000", &st));
  EXPECT_EQ(st.wDay, 27);
  EXPECT_EQ(st.wSecond, 45);
  EXPECT_EQ(st.wMonth, Now().wMonth);
  EXPECT_FALSE(ParseSearchDate(u"Wed, 99999 Aug 2008 13:08:45 +0000", &st));
  EXPECT_FALSE(ParseStatusDate(u"Wed Aug 27 13:08:45 +0000 99999999999999999999999999999999999", &st));
}

TEST(DateParsing, MonthNamesAreExact) {
  const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (WORD i = 0; i < 12; ++i) EXPECT_EQ(MonthFromName(names[i]), i + 1);
  EXPECT_EQ(MonthFromName("aug"), 1);
  EXPECT_EQ(MonthFromName("AUG"), 1);
  EXPECT_EQ(MonthFromName("Augu"), 1);
  EXPECT_EQ(MonthFromName(""), 1);
}

}  // namespace

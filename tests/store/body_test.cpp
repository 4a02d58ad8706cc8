#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/text.h"
#include "store/body.h"
#include "store/html_escape.h"
#include "tests/store/test_tweets.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_profile.h"

namespace {

using store_testing::MakeTweet;
using store_testing::TimeEnvironment;

// The cell style of the sender details, as the template has it.
const std::u16string kCell =
    u"<td style='padding: 1px 4px; vertical-align: middle; font-family:\"Lucida Grande\",sans-serif; "
    u"font-size:0.75em;'>";

TwitterStatus Alice() {
  TwitterStatus tweet = MakeTweet(u"6346541", u"alice", "hello @bob &amp;amp; co");
  tweet.html = u"hello @<a href='http://twitter.com/bob'>bob</a> &amp;amp; co";
  tweet.user.name = u"Alice O'Brien";
  tweet.user.profileImageUrl = u"http://a3.twimg.com/p/alice_normal.png";
  tweet.user.location = u"Amsterdam";
  tweet.user.url = u"http://alice.example/";
  tweet.user.description = u"Bird watcher &amp; more";
  tweet.user.friendsCount = u"10";
  tweet.user.followersCount = u"20";
  tweet.user.statusesCount = u"30";
  tweet.source = u"<a href=\"http://www.tweetdeck.com/\" rel=\"nofollow\">TweetDeck</a>";
  return tweet;
}

TEST(RenderMessageBody, OrdinaryTweetGivesTheTemplatesByteForByte) {
  TimeEnvironment time("UTC");
  const std::u16string expected =
      u"\n<table cellspacing='0'><tr>\n\t<td style='padding: 6px 5px 4px 4px; vertical-align: top;'>"
      u"<a href='http://twitter.com/alice'><img border='0' height='48' width='48' alt='alice' "
      u"src='http://a3.twimg.com/p/alice_normal.png' /></a></td>\n\t<td style='padding: 7px 3px; vertical-align: "
      u"middle; font-family:\"Lucida Grande\",sans-serif;'><strong><a style='text-decoration: none;' "
      u"href='http://twitter.com/alice' title='alice'>alice</a></strong>\n\t\t \n\t\t<span>hello "
      u"@<a href='http://twitter.com/bob'>bob</a> &amp; co</span><br>\n\t\t<span style='text-decoration: none; "
      u"font-size: 0.8em; font-style:italic;'><a style='text-decoration: none;' "
      u"href='http://twitter.com/alice/statuses/6346541'>Mon, Dec 07 14:03:22</a>\n\t\t\t\tfrom "
      u"<a href=\"http://www.tweetdeck.com/\" rel=\"nofollow\">TweetDeck</a> \n\t\t</span></td></tr></table>\n"
      u"\n<hr/><table cellspacing='0' cellpadding='0'>\n\t<tr>" +
      kCell + u"<b><i>Name:</i></b> Alice O'Brien</td></tr>\n\t<tr>" + kCell +
      u"<b><i>Location:</i></b> Amsterdam</td></tr>\n\t<tr>" + kCell +
      u"<b><i>Web:</i></b> <a href='http://alice.example/'>http://alice.example/</a></td></tr>\n\t<tr>" + kCell +
      u"<b><i>Bio:</i></b> Bird watcher &amp; more</td></tr>\n\t<tr>" + kCell +
      u"<b><i>Following:</i></b> 10 <b><i>Followers:</i></b> 20 <b><i>Updates:</i></b> 30 </td></tr>\n"
      u"</table><hr/>\n";
  EXPECT_EQ(RenderMessageBody(Alice()), expected);
}

TEST(RenderMessageBody, LockReplyLinkAndThumbnailsInOrder) {
  TimeEnvironment time("UTC");
  TwitterStatus tweet = Alice();
  tweet.user.isProtected = true;
  tweet.rawText =
      "@bob see http://twitpic.com/abc12 http://twitgoo.com/xyz http://twitpic.com/show/full/abc "
      "http://twitpicXcom/evil http://twitpic.com/def_3";
  tweet.replyToName = u"bob";
  tweet.inReplyToStatusId = u"123";
  tweet.inReplyToUserId = u"9";
  const std::u16string body = RenderMessageBody(tweet);

  EXPECT_NE(body.find(u"</strong>\n\t\t\t\t<img alt='Icon_red_lock' src='http://assets0.twitter.com/images/icon_lock.gif' "
                      u"title='alice&rsquo;s updates are protected! Please don&rsquo;t share.' />\n \n\t\t<span>"),
            std::u16string::npos)
      << Utf16ToUtf8(body);
  EXPECT_NE(body.find(u"</a> <a href='http://twitter.com/bob/status/123'><i>in reply to bob</i></a>\n\t\t</span>"),
            std::u16string::npos);
  const std::u16string thumbnails =
      u"</table><hr/>\n\n<br/><br/>\n\n"
      u"<center><p><a href='http://twitpic.com/abc12'><img border='0' src='http://twitpic.com/show/thumb/abc12'></a>"
      u"</p></center><br/>\n"
      u"<center><p><a href='http://twitpic.com/def_3'><img border='0' src='http://twitpic.com/show/thumb/def_3'></a>"
      u"</p></center><br/>\n"
      u"<center><p><a href='http://twitgoo.com/xyz'><img border='0' src='http://twitgoo.com/show/thumb/xyz'></a>"
      u"</p></center><br/>\n";
  ASSERT_GE(body.size(), thumbnails.size());
  EXPECT_EQ(body.substr(body.size() - thumbnails.size()), thumbnails);

  // Without a name at the start of the text there is no reply link, whatever
  // ids the service reports.
  tweet.replyToName.clear();
  EXPECT_EQ(RenderMessageBody(tweet).find(u"in reply to"), std::u16string::npos);
}

TEST(RenderMessageBody, SearchResultHasNoDetailsAndKeepsTheWebHost) {
  TimeEnvironment time("UTC");
  TwitterStatus tweet = Alice();
  tweet.kind = TweetKindSearch;
  tweet.user.statusesCount.clear();
  tweet.source.clear();
  std::u16string body = RenderMessageBody(tweet);
  EXPECT_EQ(body.find(u"<hr/>"), std::u16string::npos);
  EXPECT_NE(body.find(u"Mon, Dec 07 14:03:22</a>\n\t\t\t\t \n\t\t</span></td></tr></table>\n"), std::u16string::npos);
  const std::u16string end = u"</span></td></tr></table>\n";
  ASSERT_GE(body.size(), end.size());
  EXPECT_EQ(body.substr(body.size() - end.size()), end);

  body += u"<a href='http://tinyurl.com/x1'>http://tinyurl.com/x1</a>";
  RewriteTinyUrlPreview(body);
  EXPECT_NE(body.find(u"<a href='http://preview.tinyurl.com/x1'>http://preview.tinyurl.com/x1</a>"),
            std::u16string::npos);
  RewriteApiHost(body, u"api.example.org");
  EXPECT_NE(body.find(u"href='http://api.example.org/alice'"), std::u16string::npos);
  EXPECT_NE(body.find(u"href='http://api.example.org/bob'"), std::u16string::npos);
  EXPECT_EQ(body.find(u"/twitter.com/"), std::u16string::npos);
  RewriteApiHost(body, u"");
  EXPECT_NE(body.find(u"api.example.org"), std::u16string::npos);
}

TEST(RenderMessageBody, HostileProfileFieldsProduceNoMarkup) {
  TimeEnvironment time("UTC");
  TwitterStatus tweet = Alice();
  tweet.user.screenName = u"x'><script>alert(1)</script>";
  tweet.user.name = u"<b>Bold</b> &amp; co";
  tweet.user.location = u"<img src=x onerror=alert(1)>";
  tweet.user.url = u"javascript:alert(1)";
  tweet.user.profileImageUrl = u" JAVASCRIPT:alert(2)";
  tweet.user.description = u"a &lt;i&gt; & <i>c</i>";
  tweet.user.followersCount = u"1<i>";
  tweet.user.isProtected = true;
  tweet.replyToName = u"bob'><script>";
  tweet.inReplyToStatusId = u"1'2";
  tweet.inReplyToUserId = u"2";
  tweet.id = u"9' onclick='x";
  tweet.source = u"<a href=\"javascript:alert(3)\">x</a>";
  const std::u16string body = RenderMessageBody(tweet);

  for (const char16_t* forbidden : {u"<script", u"<b>Bold", u"<img src=x", u"<i>c</i>", u"1<i>", u"'javascript",
                                    u"'JAVASCRIPT", u"' onclick", u"<a href=\"javascript", u"x'><"})
    EXPECT_EQ(body.find(forbidden), std::u16string::npos) << Utf16ToUtf8(forbidden);
  EXPECT_NE(body.find(u"&lt;b&gt;Bold&lt;/b&gt; &amp; co"), std::u16string::npos);
  EXPECT_NE(body.find(u"a &lt;i&gt; &amp; &lt;i&gt;c&lt;/i&gt;"), std::u16string::npos);
  EXPECT_NE(body.find(u"<b><i>Web:</i></b> <a href=''>javascript:alert(1)</a>"), std::u16string::npos);
  EXPECT_NE(body.find(u"src='' />"), std::u16string::npos);
  EXPECT_NE(body.find(u"title='x&#39;&gt;&lt;script&gt;alert(1)&lt;/script&gt;&rsquo;s updates"),
            std::u16string::npos);
  EXPECT_NE(body.find(u"from &lt;a href=\"javascript:alert(3)\"&gt;x&lt;/a&gt;"), std::u16string::npos);
}

TEST(HtmlEscape, KeepsReferencesAndSafeLinksOnly) {
  EXPECT_EQ(EscapeHtmlText(u"&amp; &#39; &#x1F; &eacute; & &; &#; &#x; &a b; <>\"'"),
            u"&amp; &#39; &#x1F; &eacute; &amp; &amp;; &amp;#; &amp;#x; &amp;a b; &lt;&gt;\"'");
  EXPECT_EQ(EscapeHtmlAttribute(u"O'Brien \"Q\""), u"O&#39;Brien &quot;Q&quot;");
  EXPECT_EQ(SafeLinkAddress(u"HTTPS://x.example/?a=1&b=2"), u"HTTPS://x.example/?a=1&amp;b=2");
  EXPECT_EQ(SafeLinkAddress(u"ftp://x/"), u"");
  EXPECT_EQ(SafeLinkAddress(u"data:text/html,<b>"), u"");

  const std::u16string client = u"<a href=\"http://www.tweetdeck.com/\" rel=\"nofollow\">TweetDeck</a>";
  EXPECT_EQ(SafeSourceFragment(client), client);
  EXPECT_EQ(SafeSourceFragment(u"<a href='https://x/' target='_blank'>X &amp; Y</a>"),
            u"<a href='https://x/' target='_blank'>X &amp; Y</a>");
  EXPECT_EQ(SafeSourceFragment(u"web"), u"web");
  // The search service sends the fragment already escaped: it stays text.
  const std::u16string escaped = u"&lt;a href=&quot;http://twitter.com/&quot;&gt;web&lt;/a&gt;";
  EXPECT_EQ(SafeSourceFragment(escaped), escaped);
  for (const char16_t* unsafe : {u"<a href=\"http://x/\" onclick=\"evil()\">x</a>", u"<a href=\"http://x/\">x</a><script>",
                                 u"<a rel=\"nofollow\">x</a>", u"<a href=\"http://x/\"><b>x</b></a>",
                                 u"<a href=\"http://x/\" href=\"http://y/\">x</a>", u"<a href=http://x/>x</a>",
                                 u"<a href=\"http://x/\">x</a> and more"})
    EXPECT_EQ(SafeSourceFragment(unsafe).find(u'<'), std::u16string::npos) << Utf16ToUtf8(unsafe);
}

TEST(ComposeSubject, DirectMessagesAsTypedAndEntitiesDecodedInOrder) {
  TwitterStatus tweet = MakeTweet(u"1", u"bob", "hi", TweetKindDirect);
  tweet.recipientScreenName = u"alice";
  EXPECT_EQ(ComposeSubject(tweet), u"d alice hi");
  tweet.recipientScreenName.clear();
  EXPECT_EQ(ComposeSubject(tweet), u"d: hi");
  tweet.kind = TweetKindFriends;
  tweet.text = u"a &lt;b&gt; c &#62; &quot;q&#34; &apos;&#39; &#60;";
  EXPECT_EQ(ComposeSubject(tweet), u"a <b> c > \"q\" '' <");
  EXPECT_EQ(DecodeEntities(u"&amp;lt; &#38;amp; &amp;amp;"), u"&lt; &amp; &amp;");
}

TEST(FormatDisplayDate, LocalTimeWithTheLocalesNames) {
  TwitterStatus tweet = MakeTweet(u"1", u"bob", "x");
  {
    TimeEnvironment time("UTC");
    EXPECT_EQ(FormatDisplayDate(tweet), u"Mon, Dec 07 14:03:22");
  }
  {
    TimeEnvironment time("CET-1CEST,M3.5.0,M10.5.0/3", "C.UTF-8");
    EXPECT_EQ(FormatDisplayDate(tweet), u"Mon, Dec 07 15:03:22");
    tweet.createdUtc = UnixSecondsToSystemTime(1262302200);  // 2009-12-31 23:30 UTC
    EXPECT_EQ(FormatDisplayDate(tweet), u"Fri, Jan 01 00:30:00");
    tweet.createdUtc = UnixSecondsToSystemTime(1246455005);  // 2009-07-01 13:30:05 UTC, summer time
    EXPECT_EQ(FormatDisplayDate(tweet), u"Wed, Jul 01 15:30:05");
  }
  tweet.createdUtc = SYSTEMTIME{};
  tweet.createdAtText = u"not a date <b>";
  EXPECT_EQ(FormatDisplayDate(tweet), u"not a date <b>");
  TimeEnvironment time("UTC");
  EXPECT_NE(RenderMessageBody(tweet).find(u">not a date &lt;b&gt;</a>"), std::u16string::npos);
}

TEST(FormatDisplayDate, DayAndMonthNamesInTheUsersLanguage) {
  // A French locale built for the test, so that it does not depend on the
  // locales the machine happens to have.
  if (std::system("command -v localedef >/dev/null 2>&1") != 0) GTEST_SKIP() << "localedef is not installed";
  testing_support::TempProfile profile;
  const std::string locales = profile.root() + "/locales";
  std::filesystem::create_directories(locales);
  // localedef may answer 1 for mere warnings: what counts is what it wrote.
  std::system(("localedef -i fr_FR -f UTF-8 '" + locales + "/fr_FR.UTF-8' >/dev/null 2>&1").c_str());
  if (!testing_support::FileExists(locales + "/fr_FR.UTF-8/LC_TIME")) GTEST_SKIP() << "localedef failed";

  testing_support::ScopedEnv locpath("LOCPATH", locales.c_str());
  TimeEnvironment time("UTC", "fr_FR.UTF-8");
  const char* current = std::setlocale(LC_TIME, nullptr);
  ASSERT_TRUE(current && std::string(current) == "fr_FR.UTF-8") << (current ? current : "none");
  // Monday 7 December 2009, 14:03:22 UTC.
  EXPECT_EQ(FormatDisplayDate(MakeTweet(u"1", u"bob", "x")), u"lun., d\u00e9c. 07 14:03:22");
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>

#include "store/markup.h"

namespace {

const std::u16string kProfile = u"http://twitter.com/";

std::u16string Link(const std::u16string& address) { return u"<a href='" + address + u"'>" + address + u"</a>"; }
std::u16string Name(const std::u16string& name) { return u"@<a href='" + kProfile + name + u"'>" + name + u"</a>"; }

TEST(Markup, AddressesStopBeforeFullStopsAndOuterParentheses) {
  EXPECT_EQ(MarkupTweetText("read http://a.example/x."), u"read " + Link(u"http://a.example/x") + u".");
  EXPECT_EQ(MarkupTweetText("http://en.wikipedia.org/wiki/Foo_(bar) is it"),
            Link(u"http://en.wikipedia.org/wiki/Foo_(bar)") + u" is it");
  EXPECT_EQ(MarkupTweetText("(see http://a.example/y)"), u"(see " + Link(u"http://a.example/y") + u")");
  EXPECT_EQ(MarkupTweetText("two http://a.example/1 and http://b.example/2"),
            u"two " + Link(u"http://a.example/1") + u" and " + Link(u"http://b.example/2"));
  // Only plain http is linked; a quote ends an address.
  EXPECT_EQ(MarkupTweetText("https://secure.example/z"), u"https://secure.example/z");
  EXPECT_EQ(MarkupTweetText("x\"http://q.example/a\"y"), u"x\"" + Link(u"http://q.example/a") + u"\"y");
  // The service's character references pass through untouched.
  EXPECT_EQ(MarkupTweetText("http://a.example/?a=1&amp;b=2 I &lt;3"),
            Link(u"http://a.example/?a=1&amp;b=2") + u" I &lt;3");
}

TEST(Markup, AQuoteInsideAnAddressCannotLeaveTheLink) {
  // The pattern takes ' and < > into an address; the href quotes with ', so
  // they are escaped there, and ' in the link text too.
  EXPECT_EQ(MarkupTweetText("see http://a.example/x'onmouseover='alert(1)' ok"),
            u"see <a href='http://a.example/x%27onmouseover=%27alert(1)%27'>"
            u"http://a.example/x&#39;onmouseover=&#39;alert(1)&#39;</a> ok");
  EXPECT_EQ(MarkupTweetText("http://a.example/<b>x"), u"<a href='http://a.example/%3Cb%3Ex'>http://a.example/<b>x</a>");
  // The text around and between addresses stays as it was.
  EXPECT_EQ(MarkupTweetText("'a' http://a.example/'q' 'b' http://b.example/c"),
            u"'a' <a href='http://a.example/%27q%27'>http://a.example/&#39;q&#39;</a> 'b' " +
                Link(u"http://b.example/c"));
}

TEST(Markup, NamesAndTags) {
  EXPECT_EQ(MarkupTweetText("@alice: hi"), Name(u"alice") + u": hi");
  EXPECT_EQ(MarkupTweetText("hey @bob_2 and @carol"), u"hey " + Name(u"bob_2") + u" and " + Name(u"carol"));
  EXPECT_EQ(MarkupTweetText("@josé"), Name(u"jos") + u"é");
  EXPECT_EQ(MarkupTweetText("@ alone"), u"@ alone");

  const std::u16string tag = u"<a href='http://search.twitter.com/search?q=%23tag'>#tag</a>";
  EXPECT_EQ(MarkupTweetText("#tag first"), tag + u" first");
  EXPECT_EQ(MarkupTweetText("after #tag"), u"after " + tag);
  EXPECT_EQ(MarkupTweetText("a#tag glued"), u"a#tag glued");
  EXPECT_EQ(MarkupTweetText("#tag #tag"), tag + u" " + tag);
  EXPECT_EQ(MarkupTweetText("# lonely"), u"# lonely");
}

TEST(Markup, AtSignInsideAnAddressIsLinkedTwice) {
  // The name step runs over the text the address step produced.
  const std::u16string inner = u"http://a.example/" + Name(u"x");
  EXPECT_EQ(MarkupTweetText("http://a.example/@x"), u"<a href='" + inner + u"'>" + inner + u"</a>");
  // A number sign inside an address is no tag.
  EXPECT_EQ(MarkupTweetText("http://a.example/#frag"), Link(u"http://a.example/#frag"));
}

TEST(Markup, PlainAndOddTexts) {
  EXPECT_EQ(MarkupTweetText(""), u"");
  EXPECT_EQ(MarkupTweetText("nothing to see <b>here</b> é"), u"nothing to see <b>here</b> é");
  // Broken UTF-8 is no match for any step and becomes replacement characters.
  EXPECT_EQ(MarkupTweetText(std::string("@a\xff http://x.example/")), u"@a\uFFFD http://x.example/");
  // A text with a NUL inside keeps going past it.
  EXPECT_EQ(MarkupTweetText(std::string("a\0 @b", 5)), std::u16string(u"a\0 ", 3) + Name(u"b"));
}

TEST(Markup, LeadingReplyNameAndDirectMessageTarget) {
  EXPECT_EQ(LeadingReplyName("@bob hi"), u"bob");
  EXPECT_EQ(LeadingReplyName("@bob: hi"), u"bob");
  EXPECT_EQ(LeadingReplyName("hi @bob"), u"");
  EXPECT_EQ(LeadingReplyName("@ bob"), u"");
  EXPECT_EQ(LeadingReplyName(""), u"");
  EXPECT_EQ(LeadingReplyName("\n@bob"), u"");

  EXPECT_EQ(DirectMessageTarget("d alice see you"), u"alice");
  EXPECT_EQ(DirectMessageTarget("D alice"), u"");
  EXPECT_EQ(DirectMessageTarget("d  alice"), u"");
  EXPECT_EQ(DirectMessageTarget("d @alice hi"), u"");
  EXPECT_EQ(DirectMessageTarget("hello d bob"), u"");
}

TEST(Markup, CollectMatchesTakesEveryFirstGroupLeftToRight) {
  EXPECT_EQ(CollectMatches(R"((http://twitpic\.com/\w+))", "a http://twitpic.com/ab1 b http://twitpic.com/c2."),
            (std::vector<std::string>{"http://twitpic.com/ab1", "http://twitpic.com/c2"}));
  EXPECT_TRUE(CollectMatches(R"((\d+))", "none here").empty());
  EXPECT_EQ(CollectMatches(R"((\d+))", "1a22"), (std::vector<std::string>{"1", "22"}));
  // A pattern that can match nothing must still come to an end.
  const auto empties = CollectMatches(R"((x*))", "axb");
  EXPECT_LE(empties.size(), 4u);
  EXPECT_NE(std::find(empties.begin(), empties.end(), "x"), empties.end());
}

}  // namespace

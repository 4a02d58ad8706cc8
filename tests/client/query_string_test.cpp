#include <gtest/gtest.h>

#include "client/base64.h"
#include "client/query_string.h"

namespace {

TEST(QueryString, EscapesEveryByteButTheUnreservedSet) {
  EXPECT_EQ(QueryString::Escape("a b&c"), "a%20b%26c");
  EXPECT_EQ(QueryString::Escape("\xC3\xA9"), "%c3%a9");
  EXPECT_EQ(QueryString::Escape("AZaz09!'()*-./:_~"), "AZaz09!'()*-./:_~");
  EXPECT_EQ(QueryString::Escape("%+=?#@;,\"<>\x7f\x01"), "%25%2b%3d%3f%23%40%3b%2c%22%3c%3e%7f%01");
  EXPECT_EQ(QueryString::Escape(std::string("\0", 1)), "%00");
  EXPECT_EQ(QueryString::Escape(""), "");
}

TEST(QueryString, RendersInBinOrderWithTheNewestNameFirstInABin) {
  QueryString timeline;
  timeline.Set("since_id", "500");
  timeline.Set("count", "100");
  EXPECT_EQ(timeline.Render(), "since_id=500&count=100");

  QueryString direct;
  direct.Set("user", "bob");
  direct.Set("text", "hi there");
  direct.Set("source", "Wrenvia");
  EXPECT_EQ(direct.Render(), "source=Wrenvia&user=bob&text=hi%20there");

  QueryString update;
  update.Set("status", "x");
  update.Set("in_reply_to_status_id", "7");
  update.Set("source", "Wrenvia");
  EXPECT_EQ(update.Render(), "status=x&in_reply_to_status_id=7&source=Wrenvia");

  QueryString search;
  search.Set("lang", "en");
  search.Set("rpp", "100");
  search.Set("q", "a b#c");
  search.Set("since_id", "9");
  EXPECT_EQ(search.Render(), "since_id=9&q=a%20b%23c&rpp=100&lang=en");

  // Setting a name again keeps its place and takes the new value.
  direct.Set("user", "carol");
  EXPECT_EQ(direct.Render(), "source=Wrenvia&user=carol&text=hi%20there");
  EXPECT_EQ(direct.Count(), 3u);
  EXPECT_EQ(QueryString().Render(), "");
  EXPECT_TRUE(QueryString().Empty());
}

TEST(QueryString, HashTakesBytesAsSigned) {
  EXPECT_EQ(QueryString::Hash(""), 0u);
  EXPECT_EQ(QueryString::Hash("a"), 97u);
  EXPECT_EQ(QueryString::Hash("ab"), 97u * 33 + 98);
  // 0xC3 counts as -61, 0xA9 as -87.
  EXPECT_EQ(QueryString::Hash("\xC3\xA9"), static_cast<std::uint32_t>(-61 * 33 - 87));
}

TEST(QueryString, GrowsPastTwelveEntriesAndKeepsThemAll) {
  QueryString q;
  for (int i = 0; i < 40; ++i) q.Set("k" + std::to_string(i), std::to_string(i));
  EXPECT_EQ(q.Count(), 40u);
  for (int i = 0; i < 40; ++i) {
    const std::string* v = q.Find("k" + std::to_string(i));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(*v, std::to_string(i));
  }
  const std::string rendered = q.Render();
  for (int i = 0; i < 40; ++i) EXPECT_NE(rendered.find("k" + std::to_string(i) + "=" + std::to_string(i)), std::string::npos);
  EXPECT_EQ(q.Find("nope"), nullptr);
}

TEST(Base64, StandardAlphabetPaddingAndNoLineBreaks) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
  EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
  EXPECT_EQ(Base64Encode("\xff\xfe\xfd"), "//79");
  const std::string longText = Base64Encode(std::string(300, 'x'));
  EXPECT_EQ(longText.size(), 400u);
  EXPECT_EQ(longText.find('\n'), std::string::npos);
}

}  // namespace

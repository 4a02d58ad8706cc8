#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/win32.h"

namespace {

TEST(TextConversion, RoundTripsEveryPlaneAndReplacesInvalidInput) {
  const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
  const std::u16string utf16 = Utf8ToUtf16(utf8);
  EXPECT_EQ(utf16, std::u16string(u"a\u00e9\u20ac\U0001F600z"));
  EXPECT_EQ(Utf16ToUtf8(utf16), utf8);

  // Truncated, overlong, surrogate-encoding and stray continuation bytes each
  // become one U+FFFD per maximal bad sequence; nothing is dropped silently.
  EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("x\x80y"), u"x\uFFFDy");
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), u"\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
  // Lone surrogates in UTF-16 become U+FFFD in UTF-8.
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800') + u"a"), "\xEF\xBF\xBD" "a");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xDC00')), "\xEF\xBF\xBD");
}

TEST(TextHelpers, CaseFoldingReplaceAndNumbers) {
  EXPECT_TRUE(EqualsIgnoreCase(u"Inbox", u"INBOX"));
  EXPECT_FALSE(EqualsIgnoreCase(u"Inbox", u"Inbo"));
  // Beyond ASCII too, whatever the program's locale.
  EXPECT_TRUE(EqualsIgnoreCase(u"J\u00d6RG \u0410\u0411", u"j\u00f6rg \u0430\u0431"));
  EXPECT_EQ(FindIgnoreCase(u"hello @BobBy", u"@bob"), 6u);
  EXPECT_EQ(FindIgnoreCase(u"hello", u"@bob"), std::u16string::npos);

  std::u16string s = u"&amp;amp;";
  EXPECT_EQ(ReplaceAll(s, u"&amp;", u"&"), 1u);  // one pass, no rescan
  EXPECT_EQ(s, u"&amp;");

  EXPECT_EQ(FormatTemplateW(u"<a href='%s'>%s</a> 100%%", {u"x", u"y"}), u"<a href='x'>y</a> 100%");
  EXPECT_EQ(ParseInt64W(u"502"), 502);
  EXPECT_EQ(ParseInt64W(u"abc"), 0);
  EXPECT_EQ(ParseInt64W(u"9223372036854775807"), INT64_MAX);
  EXPECT_EQ(ParseInt64W(u"99999999999999999999"), INT64_MAX);
  EXPECT_EQ(ParseInt64(" -12x"), -12);
}

TEST(SystemTime, FileTimeConversionsAgree) {
  SYSTEMTIME st{2008, 8, 0, 27, 13, 8, 45, 0};
  FILETIME ft;
  ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
  std::int64_t secs = 0;
  ASSERT_TRUE(SystemTimeToUnixSeconds(st, &secs));
  EXPECT_EQ(secs, 1219842525);
  EXPECT_EQ((FileTimeToU64(ft) - kFileTimeUnixEpoch) / 10000000, 1219842525u);
  SYSTEMTIME back{};
  ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
  EXPECT_EQ(back.wYear, 2008);
  EXPECT_EQ(back.wDay, 27);
  EXPECT_EQ(back.wDayOfWeek, 3);  // a Wednesday
  EXPECT_EQ(back.wSecond, 45);

  SYSTEMTIME bad{2008, 2, 0, 30, 0, 0, 0, 0};
  EXPECT_FALSE(SystemTimeToFileTime(&bad, &ft));
  SYSTEMTIME zero{};
  EXPECT_FALSE(SystemTimeToUnixSeconds(zero, &secs));
  // Seconds outside what a FILETIME holds give no time, not an overflow.
  EXPECT_EQ(UnixSecondsToSystemTime(INT64_MAX).wYear, 0);
  EXPECT_EQ(UnixSecondsToSystemTime(INT64_MIN).wYear, 0);
  EXPECT_EQ(UnixSecondsToSystemTime(0).wYear, 1970);
}

}  // namespace

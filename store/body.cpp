#include "store/body.h"

#include <cwchar>
#include <ctime>
#include <string>

#include "client/service_addresses.h"
#include "platform/text.h"
#include "store/html_escape.h"
#include "store/markup.h"

namespace {

std::u16string U16(const char* ascii) { return Utf8ToUtf16(ascii); }

const std::u16string& WebAddress() {
  static const std::u16string address = U16(TwitterWebAddress);
  return address;
}

std::u16string LockLine(const TwitterUser& user) {
  if (!user.isProtected) return {};
  const std::u16string tmpl = u"\t\t<img alt='Icon_red_lock' src='" + U16(LockIconAddress) +
                              u"' title='%s&rsquo;s updates are protected! Please don&rsquo;t share.' />\n";
  return FormatTemplateW(tmpl, {EscapeHtmlAttribute(user.screenName)});
}

std::u16string ReplyLink(const TwitterStatus& tweet) {
  if (tweet.inReplyToStatusId.empty() || tweet.inReplyToUserId.empty() || tweet.replyToName.empty()) return {};
  const std::u16string tmpl = u"<a href='" + WebAddress() + u"%s/status/%s'><i>in reply to %s</i></a>";
  return FormatTemplateW(tmpl, {EscapeHtmlAttribute(tweet.replyToName), EscapeHtmlAttribute(tweet.inReplyToStatusId),
                                EscapeHtmlText(tweet.replyToName)});
}

std::u16string MainBlock(const TwitterStatus& tweet, const std::u16string& lock, const std::u16string& tweetHtml,
                         const std::u16string& date, const std::u16string& source, const std::u16string& reply) {
  const std::u16string tmpl =
      u"\n<table cellspacing='0'><tr>\n\t<td style='padding: 6px 5px 4px 4px; vertical-align: top;'><a href='" +
      WebAddress() +
      u"%s'><img border='0' height='48' width='48' alt='%s' src='%s' /></a></td>\n\t<td style='padding: 7px 3px; "
      u"vertical-align: middle; font-family:\"Lucida Grande\",sans-serif;'><strong><a style='text-decoration: "
      u"none;' href='" +
      WebAddress() +
      u"%s' title='%s'>%s</a></strong>\n\t\t%s \n\t\t<span>%s</span><br>\n\t\t<span style='text-decoration: none; "
      u"font-size: 0.8em; font-style:italic;'><a style='text-decoration: none;' href='" +
      WebAddress() + u"%s/statuses/%s'>%s</a>\n\t\t\t\t%s %s\n\t\t</span></td></tr></table>\n";
  const std::u16string name = EscapeHtmlAttribute(tweet.user.screenName);
  return FormatTemplateW(tmpl, {name, name, SafeLinkAddress(tweet.user.profileImageUrl), name, name,
                                EscapeHtmlText(tweet.user.screenName), lock, tweetHtml, name,
                                EscapeHtmlAttribute(tweet.id), date, source, reply});
}

std::u16string SenderDetails(const TwitterUser& user) {
  if (user.statusesCount.empty()) return {};
  static const std::u16string kCell =
      u"<td style='padding: 1px 4px; vertical-align: middle; font-family:\"Lucida Grande\",sans-serif; "
      u"font-size:0.75em;'>";
  const std::u16string tmpl = u"<hr/><table cellspacing='0' cellpadding='0'>\n\t<tr>" + kCell +
                              u"<b><i>Name:</i></b> %s</td></tr>\n\t<tr>" + kCell +
                              u"<b><i>Location:</i></b> %s</td></tr>\n\t<tr>" + kCell +
                              u"<b><i>Web:</i></b> <a href='%s'>%s</a></td></tr>\n\t<tr>" + kCell +
                              u"<b><i>Bio:</i></b> %s</td></tr>\n\t<tr>" + kCell +
                              u"<b><i>Following:</i></b> %s <b><i>Followers:</i></b> %s <b><i>Updates:</i></b> %s "
                              u"</td></tr>\n</table><hr/>\n";
  return FormatTemplateW(tmpl, {EscapeHtmlText(user.name), EscapeHtmlText(user.location), SafeLinkAddress(user.url),
                                EscapeHtmlText(user.url), EscapeHtmlText(user.description),
                                EscapeHtmlText(user.friendsCount), EscapeHtmlText(user.followersCount),
                                EscapeHtmlText(user.statusesCount)});
}

// "." in a host name is a literal dot, not "any character".
std::string QuoteForPattern(const std::string& host) {
  std::string quoted;
  for (char c : host) {
    if (c == '.') quoted += '\\';
    quoted += c;
  }
  return quoted;
}

void AppendThumbnails(const TwitterStatus& tweet, const char* host, std::u16string& thumbnails) {
  const std::string pageAddress = std::string("http://") + host + "/";
  const std::string shown = std::string("http://") + host + "/show";
  const std::u16string thumbPrefix = Utf8ToUtf16(pageAddress + "show/thumb/");
  for (const std::string& match : CollectMatches("(http://" + QuoteForPattern(host) + "/\\w+)", tweet.rawText)) {
    if (match.find(shown) != std::string::npos) continue;
    const std::u16string link = Utf8ToUtf16(match);
    std::u16string thumb = link;
    ReplaceAll(thumb, Utf8ToUtf16(pageAddress), thumbPrefix);
    thumbnails += FormatTemplateW(u"<center><p><a href='%s'><img border='0' src='%s'></a></p></center><br/>\n",
                                  {link, thumb});
  }
}

// UTF-32 wchar_t of the C library to UTF-16.
std::u16string WideToUtf16(const wchar_t* text) {
  std::u16string out;
  for (; *text; ++text) {
    const auto c = static_cast<std::uint32_t>(*text);
    if (c >= 0x10000 && c <= 0x10FFFF) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

// One part of the date line in the C library's LC_TIME; empty on failure.
std::u16string FormatPart(const wchar_t* picture, const std::tm& tm) {
  wchar_t buffer[128];
  if (std::wcsftime(buffer, 128, picture, &tm) == 0) return {};
  return WideToUtf16(buffer);
}

}  // namespace

std::u16string RenderMessageBody(const TwitterStatus& tweet) {
  std::u16string tweetHtml = tweet.html;
  ReplaceAll(tweetHtml, u"&amp;", u"&");
  const std::u16string lock = LockLine(tweet.user);
  const std::u16string source = tweet.source.empty() ? u"" : u"from " + SafeSourceFragment(tweet.source);
  const std::u16string reply = ReplyLink(tweet);
  const std::u16string date = EscapeHtmlText(FormatDisplayDate(tweet));

  std::u16string body = MainBlock(tweet, lock, tweetHtml, date, source, reply);
  const std::u16string details = SenderDetails(tweet.user);
  if (!details.empty()) body += u"\n" + details;
  std::u16string thumbnails;
  AppendThumbnails(tweet, kTwitPicHost, thumbnails);
  AppendThumbnails(tweet, kTwitgooHost, thumbnails);
  if (!thumbnails.empty()) body += u"\n<br/><br/>\n\n" + thumbnails;
  return body;
}

void RewriteTinyUrlPreview(std::u16string& body) {
  ReplaceAll(body, U16("http://") + U16(kTinyUrlHost) + u"/", U16("http://") + U16(kTinyUrlPreviewHost) + u"/");
}

void RewriteApiHost(std::u16string& body, std::u16string_view apiHost) {
  if (apiHost.empty()) return;
  std::u16string from(1, u'/'), to(1, u'/');
  from += U16(kTwitterWebHost);
  from += u'/';
  to += EscapeHtmlAttribute(apiHost);
  to += u'/';
  ReplaceAll(body, from, to);
}

std::u16string DecodeEntities(std::u16string_view text) {
  static const std::pair<const char16_t*, const char16_t*> kReferences[] = {
      {u"&quot;", u"\""}, {u"&#34;", u"\""}, {u"&lt;", u"<"},   {u"&#60;", u"<"}, {u"&gt;", u">"},
      {u"&#62;", u">"},   {u"&apos;", u"'"}, {u"&#39;", u"'"}, {u"&amp;", u"&"}, {u"&#38;", u"&"},
  };
  std::u16string decoded(text);
  for (const auto& [reference, character] : kReferences) ReplaceAll(decoded, reference, character);
  return decoded;
}

std::u16string ComposeSubject(const TwitterStatus& tweet) {
  const std::u16string text = DecodeEntities(tweet.text);
  if (tweet.kind != TweetKindDirect) return text;
  if (tweet.recipientScreenName.empty()) return u"d: " + text;
  return u"d " + tweet.recipientScreenName + u" " + text;
}

std::u16string FormatDisplayDate(const TwitterStatus& tweet) {
  if (tweet.createdUtc.wYear == 0) return tweet.createdAtText;
  SYSTEMTIME local{};
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &tweet.createdUtc, &local)) return {};
  std::tm tm{};
  tm.tm_year = local.wYear - 1900;
  tm.tm_mon = local.wMonth - 1;
  tm.tm_mday = local.wDay;
  tm.tm_wday = local.wDayOfWeek;
  tm.tm_hour = local.wHour;
  tm.tm_min = local.wMinute;
  tm.tm_sec = local.wSecond;
  // Day and month names in the user's language; the time always 24-hour
  // with seconds.
  return FormatPart(L"%a, %b %d ", tm) + FormatPart(L"%H:%M:%S", tm);
}

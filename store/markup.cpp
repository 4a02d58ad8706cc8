#include "store/markup.h"

#include <pcrecpp.h>

#include "client/service_addresses.h"
#include "platform/text.h"
#include "store/pcre_options.h"

namespace {

// Web addresses: "http://" and no quote or white space; one "(" may stand
// inside (encyclopedia articles); the last character is no quote, "<", ">",
// "." or white space, and without "(" no ")" either, so a full stop or a
// closing parenthesis after an address stays outside the link.
constexpr char kUrlPattern[] =
    R"re(((http://[^"[:space:]]+\([^"[:space:]]+[^"<>.[:space:]]+)|(http://[^"([:space:]]+[^"<>.)[:space:]]+)))re";
constexpr char kNamePattern[] = R"re(\@(\w+))re";
constexpr char kTagPattern[] = R"re((^| )(\#(\w+)))re";

// The pattern admits ' (and < >) inside an address, and the link quotes its
// href with ': escape them there, or a tweet could close the attribute and
// add its own.
void AppendHref(std::string& out, std::string_view address) {
  for (char c : address) {
    switch (c) {
      case '\'': out += "%27"; break;
      case '<': out += "%3C"; break;
      case '>': out += "%3E"; break;
      default: out += c;
    }
  }
}

void AppendLinkText(std::string& out, std::string_view address) {
  for (char c : address) {
    if (c == '\'') out += "&#39;";
    else out += c;
  }
}

// Every address becomes <a href='ADDRESS'>ADDRESS</a>, left to right.
std::string LinkAddresses(const std::string& text) {
  const pcrecpp::RE re(kUrlPattern, Utf8PatternOptions());
  pcrecpp::StringPiece input(text);
  pcrecpp::StringPiece address;
  std::string out;
  const char* copied = text.data();
  while (re.FindAndConsume(&input, &address)) {
    // The outer group is the whole match and no match is empty.
    out.append(copied, static_cast<std::size_t>(address.data() - copied));
    out += "<a href='";
    const std::string_view whole(address.data(), static_cast<std::size_t>(address.size()));
    AppendHref(out, whole);
    out += "'>";
    AppendLinkText(out, whole);
    out += "</a>";
    copied = whole.data() + whole.size();
  }
  out.append(copied, static_cast<std::size_t>(text.data() + text.size() - copied));
  return out;
}

}  // namespace

std::u16string MarkupTweetText(std::string_view utf8Text) {
  std::string text = LinkAddresses(std::string(utf8Text));
  pcrecpp::RE(kNamePattern, Utf8PatternOptions())
      .GlobalReplace(std::string("@<a href='") + TwitterWebAddress + "\\1'>\\1</a>", &text);
  pcrecpp::RE(kTagPattern, Utf8PatternOptions())
      .GlobalReplace(std::string("\\1<a href='") + TwitterSearchAddress + "/search?q=%23\\3'>#\\3</a>", &text);
  return Utf8ToUtf16(text);
}

std::string FirstCapture(const std::string& pattern, std::string_view utf8Text) {
  std::string name;
  if (pcrecpp::RE(pattern, Utf8PatternOptions())
          .PartialMatch(pcrecpp::StringPiece(utf8Text.data(), static_cast<int>(utf8Text.size())), &name))
    return name;
  return {};
}

std::u16string LeadingReplyName(std::string_view utf8Text) { return Utf8ToUtf16(FirstCapture(R"re(^@(\w+))re", utf8Text)); }

std::u16string DirectMessageTarget(std::string_view utf8Text) {
  return Utf8ToUtf16(FirstCapture(R"re(^d (\w+))re", utf8Text));
}

std::vector<std::string> CollectMatches(const std::string& pattern, std::string_view utf8Text) {
  std::vector<std::string> matches;
  pcrecpp::RE re(pattern, Utf8PatternOptions());
  pcrecpp::StringPiece input(utf8Text.data(), static_cast<int>(utf8Text.size()));
  std::string capture;
  while (!input.empty()) {
    const int before = input.size();
    if (!re.FindAndConsume(&input, &capture)) break;
    matches.push_back(capture);
    // An empty match at the front consumes nothing: step over one character,
    // or the search would find the same match forever.
    if (input.size() == before) {
      int step = 1;
      while (step < input.size() && (static_cast<unsigned char>(input.data()[step]) & 0xC0) == 0x80) ++step;
      input.remove_prefix(step);
    }
  }
  return matches;
}

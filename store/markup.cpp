#include "store/markup.h"

#include <pcrecpp.h>

#include "client/service_addresses.h"
#include "platform/text.h"

namespace {

pcrecpp::RE_Options Utf8Only() {
  pcrecpp::RE_Options options;
  options.set_utf8(true);
  return options;
}

// Web addresses: "http://" and no quote or white space; one "(" may stand
// inside (encyclopedia articles); the last character is no quote, "<", ">",
// "." or white space, and without "(" no ")" either, so a full stop or a
// closing parenthesis after an address stays outside the link.
constexpr char kUrlPattern[] =
    R"re(((http://[^"[:space:]]+\([^"[:space:]]+[^"<>.[:space:]]+)|(http://[^"([:space:]]+[^"<>.)[:space:]]+)))re";
constexpr char kNamePattern[] = R"re(\@(\w+))re";
constexpr char kTagPattern[] = R"re((^| )(\#(\w+)))re";

}  // namespace

std::u16string MarkupTweetText(std::string_view utf8Text) {
  std::string text(utf8Text);
  pcrecpp::RE(kUrlPattern, Utf8Only()).GlobalReplace("<a href='\\0'>\\0</a>", &text);
  pcrecpp::RE(kNamePattern, Utf8Only()).GlobalReplace(std::string("@<a href='") + TwitterWebAddress + "\\1'>\\1</a>",
                                                      &text);
  pcrecpp::RE(kTagPattern, Utf8Only())
      .GlobalReplace(std::string("\\1<a href='") + TwitterSearchAddress + "/search?q=%23\\3'>#\\3</a>", &text);
  return Utf8ToUtf16(text);
}

std::string FirstCapture(const std::string& pattern, std::string_view utf8Text) {
  std::string name;
  if (pcrecpp::RE(pattern, Utf8Only()).PartialMatch(pcrecpp::StringPiece(utf8Text.data(), static_cast<int>(utf8Text.size())), &name))
    return name;
  return {};
}

std::u16string LeadingReplyName(std::string_view utf8Text) { return Utf8ToUtf16(FirstCapture(R"re(^@(\w+))re", utf8Text)); }

std::u16string DirectMessageTarget(std::string_view utf8Text) {
  return Utf8ToUtf16(FirstCapture(R"re(^d (\w+))re", utf8Text));
}

std::vector<std::string> CollectMatches(const std::string& pattern, std::string_view utf8Text) {
  std::vector<std::string> matches;
  pcrecpp::RE re(pattern, Utf8Only());
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

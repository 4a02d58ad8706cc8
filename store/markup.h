// Tweet text markup: web addresses, @names and #tags become links. Works on
// the UTF-8 text exactly as the service sent it (with its own character
// references); every pattern is compiled with the UTF-8 option only, so \w is
// ASCII and a letter outside ASCII ends a name or tag.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The HTML rendering of a tweet text.
std::u16string MarkupTweetText(std::string_view utf8Text);
// The name after an "@" at the very start of the text, else empty.
std::u16string LeadingReplyName(std::string_view utf8Text);
// The name in a text that starts with "d " (lower-case d, one space), else empty.
std::u16string DirectMessageTarget(std::string_view utf8Text);
// The first capture group of every non-overlapping match, left to right.
std::vector<std::string> CollectMatches(const std::string& pattern, std::string_view utf8Text);
// The first capture of an unanchored match of `pattern` on the text (UTF-8),
// or empty; the building block of the name lookups above.
std::string FirstCapture(const std::string& pattern, std::string_view utf8Text);

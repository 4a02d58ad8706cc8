#include "store/html_escape.h"

#include "platform/text.h"

namespace {

bool IsAsciiAlpha(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsHexDigit(char16_t c) { return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }

// True when text[pos] ("&") starts "&name;", "&#123;" or "&#x1F;".
bool StartsCharacterReference(std::u16string_view text, std::size_t pos) {
  std::size_t i = pos + 1;
  const std::size_t limit = std::min(text.size(), pos + 34);
  if (i < limit && text[i] == u'#') {
    ++i;
    const bool hex = i < limit && (text[i] == u'x' || text[i] == u'X');
    if (hex) ++i;
    const std::size_t start = i;
    while (i < limit && (hex ? IsHexDigit(text[i]) : IsDigit(text[i]))) ++i;
    return i > start && i < limit && text[i] == u';';
  }
  if (i >= limit || !IsAsciiAlpha(text[i])) return false;
  while (i < limit && (IsAsciiAlpha(text[i]) || IsDigit(text[i]))) ++i;
  return i < limit && text[i] == u';';
}

std::u16string Escape(std::u16string_view text, bool attribute) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'&' && !StartsCharacterReference(text, i)) out += u"&amp;";
    else if (c == u'<') out += u"&lt;";
    else if (c == u'>') out += u"&gt;";
    else if (attribute && c == u'\'') out += u"&#39;";
    else if (attribute && c == u'"') out += u"&quot;";
    else out += c;
  }
  return out;
}

bool StartsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool IsSafeAddress(std::u16string_view address) {
  return StartsWithIgnoreCase(address, u"http://") || StartsWithIgnoreCase(address, u"https://");
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// Parses `<a attr="v" ...>text</a>` with the limits SafeSourceFragment
// names.
bool IsSafeSingleLink(std::u16string_view s) {
  std::size_t i = 0;
  if (s.size() < 7 || s[0] != u'<' || (s[1] != u'a' && s[1] != u'A') || !IsSpace(s[2])) return false;
  i = 2;
  bool haveHref = false;
  for (;;) {
    while (i < s.size() && IsSpace(s[i])) ++i;
    if (i >= s.size()) return false;
    if (s[i] == u'>') break;
    const std::size_t nameStart = i;
    while (i < s.size() && IsAsciiAlpha(s[i])) ++i;
    const std::u16string name = ToLowerW(s.substr(nameStart, i - nameStart));
    if (name != u"href" && name != u"rel" && name != u"target") return false;
    if (i >= s.size() || s[i] != u'=') return false;
    ++i;
    if (i >= s.size() || (s[i] != u'"' && s[i] != u'\'')) return false;
    const char16_t quote = s[i++];
    const std::size_t valueStart = i;
    while (i < s.size() && s[i] != quote) {
      if (s[i] == u'<' || s[i] == u'>' || s[i] == u'"' || s[i] == u'\'') return false;
      ++i;
    }
    if (i >= s.size()) return false;
    const std::u16string_view value = s.substr(valueStart, i - valueStart);
    ++i;
    if (name == u"href") {
      if (haveHref || !IsSafeAddress(value)) return false;
      haveHref = true;
    }
    if (i < s.size() && !IsSpace(s[i]) && s[i] != u'>') return false;
  }
  ++i;  // past ">"
  if (!haveHref) return false;
  const std::size_t close = s.find(u'<', i);
  if (close == std::u16string_view::npos || s.find(u'>', i) < close) return false;
  const std::u16string_view rest = s.substr(close);
  return rest == u"</a>" || rest == u"</A>";
}

}  // namespace

std::u16string EscapeHtmlText(std::u16string_view text) { return Escape(text, false); }

std::u16string EscapeHtmlAttribute(std::u16string_view text) { return Escape(text, true); }

std::u16string SafeLinkAddress(std::u16string_view address) {
  return IsSafeAddress(address) ? EscapeHtmlAttribute(address) : std::u16string();
}

std::u16string SafeSourceFragment(std::u16string_view source) {
  if (IsSafeSingleLink(source)) return std::u16string(source);
  return EscapeHtmlText(source);
}

#include "platform/text.h"

#include <climits>
#include <clocale>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view in) {
  std::u16string out;
  out.reserve(in.size());
  const auto* s = reinterpret_cast<const unsigned char*>(in.data());
  const std::size_t n = in.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    // Decode one sequence following the maximal-subpart rule: a bad byte
    // consumes only what was valid so far.
    int len;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      cp = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      cp = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool ok = true;
    for (int k = 1; k < len; ++k, ++j) {
      if (j >= n) {
        ok = false;
        break;
      }
      const unsigned char c = s[j];
      const unsigned char l = k == 1 ? lo : 0x80, h = k == 1 ? hi : 0xBF;
      if (c < l || c > h) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok) {
      out.push_back(static_cast<char16_t>(kReplacement));
      i = j;
      continue;
    }
    AppendUtf16(out, cp);
    i = j;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view in) {
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    const char16_t c = in[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
        const char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (in[i + 1] - 0xDC00);
        AppendUtf8(out, cp);
        ++i;
      } else {
        AppendUtf8(out, kReplacement);
      }
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

namespace {
// Case mapping must not depend on the program's own locale (which stays "C"
// for everything but dates), so it uses the C library's Unicode tables
// through a locale object of its own.
locale_t CaseLocale() {
  static const locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
  }();
  return loc;
}
}  // namespace

char16_t ToLowerW(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  const wint_t r = towlower_l(static_cast<wint_t>(c), CaseLocale());
  return r > 0xFFFF ? c : static_cast<char16_t>(r);
}

char16_t ToUpperW(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  const wint_t r = towupper_l(static_cast<wint_t>(c), CaseLocale());
  return r > 0xFFFF ? c : static_cast<char16_t>(r);
}

std::u16string ToLowerW(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out) c = ToLowerW(c);
  return out;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ToLowerW(a[i]) != ToLowerW(b[i])) return false;
  return true;
}

std::size_t FindIgnoreCase(std::u16string_view haystack, std::u16string_view needle) {
  if (needle.empty()) return 0;
  if (needle.size() > haystack.size()) return std::u16string_view::npos;
  for (std::size_t i = 0; i + needle.size() <= haystack.size(); ++i)
    if (EqualsIgnoreCase(haystack.substr(i, needle.size()), needle)) return i;
  return std::u16string_view::npos;
}

namespace {
template <typename S, typename V>
std::size_t ReplaceAllImpl(S& text, V from, V to) {
  if (from.empty()) return 0;
  std::size_t count = 0;
  std::size_t pos = 0;
  S out;
  std::size_t hit;
  while ((hit = text.find(from, pos)) != S::npos) {
    out.append(text, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
    ++count;
  }
  if (count == 0) return 0;
  out.append(text, pos, S::npos);
  text.swap(out);
  return count;
}
}  // namespace

std::size_t ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
  return ReplaceAllImpl(text, from, to);
}

std::size_t ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  return ReplaceAllImpl(text, from, to);
}

std::u16string FormatTemplateW(std::u16string_view tmpl, std::initializer_list<std::u16string_view> args) {
  std::u16string out;
  out.reserve(tmpl.size() + 64);
  auto next = args.begin();
  for (std::size_t i = 0; i < tmpl.size(); ++i) {
    const char16_t c = tmpl[i];
    if (c == u'%' && i + 1 < tmpl.size()) {
      const char16_t f = tmpl[i + 1];
      if (f == u's' || f == u'd') {
        if (next != args.end()) out.append(*next++);
        ++i;
        continue;
      }
      if (f == u'%') {
        out.push_back(u'%');
        ++i;
        continue;
      }
    }
    out.push_back(c);
  }
  return out;
}

std::u16string ToDecimalW(std::int64_t v) {
  const std::string s = std::to_string(v);
  return std::u16string(s.begin(), s.end());
}

namespace {
template <typename C>
std::int64_t ParseInt64Impl(std::basic_string_view<C> t) {
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\n' || t[i] == '\r' || t[i] == '\v' || t[i] == '\f'))
    ++i;
  bool neg = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    neg = t[i] == '-';
    ++i;
  }
  // Accumulate as a negative number so INT64_MIN is representable.
  std::int64_t v = 0;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
    const int d = static_cast<int>(t[i] - '0');
    if (v < (INT64_MIN + d) / 10) return neg ? INT64_MIN : INT64_MAX;
    v = v * 10 - d;
  }
  if (neg) return v;
  return v == INT64_MIN ? INT64_MAX : -v;
}
}  // namespace

std::int64_t ParseInt64W(std::u16string_view text) { return ParseInt64Impl(text); }
std::int64_t ParseInt64(std::string_view text) { return ParseInt64Impl(text); }

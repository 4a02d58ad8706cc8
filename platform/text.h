// UTF-16 text as the add-in holds it, and the conversions to and from the
// UTF-8 used on the wire, by the JSON parser, the regular expressions, the
// database and the log (the "ANSI code page" here is UTF-8).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// Invalid input never fails: each ill-formed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
// Log lines take the ANSI code page, which is UTF-8 on this platform.
inline std::string Utf16ToAnsi(std::u16string_view utf16) { return Utf16ToUtf8(utf16); }

// Simple case mapping of one UTF-16 unit (BMP letters; surrogates unchanged).
char16_t ToLowerW(char16_t c);
char16_t ToUpperW(char16_t c);
std::u16string ToLowerW(std::u16string_view s);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
// Position of needle in haystack ignoring case, or npos.
std::size_t FindIgnoreCase(std::u16string_view haystack, std::u16string_view needle);

// Replaces every occurrence of `from` (non-empty) by `to`, scanning left to
// right once; returns the number of replacements.
std::size_t ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to);
std::size_t ReplaceAll(std::string& text, std::string_view from, std::string_view to);

// Windows-style string formatting of the templates the add-in fills: "%s"
// takes the next argument as text, "%d" the next argument's text as given,
// "%%" is a percent sign; nothing else is converted.
std::u16string FormatTemplateW(std::u16string_view tmpl, std::initializer_list<std::u16string_view> args);

// Decimal text of integers as UTF-16.
std::u16string ToDecimalW(std::int64_t v);

// Reads a signed 64-bit decimal number the way _wtoi64 does: leading blanks,
// an optional sign, then digits up to the first non-digit; 0 when there are
// none. Out-of-range values saturate.
std::int64_t ParseInt64W(std::u16string_view text);
std::int64_t ParseInt64(std::string_view text);

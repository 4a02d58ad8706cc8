// Making the sender fields the service sends as plain text safe to place in
// a message body. A character reference the service already wrote ("&amp;",
// "&#39;", "&eacute;") is kept as it stands, so ordinary text comes out
// byte for byte as it went in.
#pragma once

#include <string>
#include <string_view>

// For element content: "&" (when it starts no character reference), "<" and
// ">" as references.
std::u16string EscapeHtmlText(std::u16string_view text);
// For a quoted attribute value: the same, and both quote characters.
std::u16string EscapeHtmlAttribute(std::u16string_view text);
// The address, escaped for an attribute, when it starts with "http://" or
// "https://" (in any case); otherwise empty, so that no other scheme
// ("javascript:", "data:") reaches an href or src.
std::u16string SafeLinkAddress(std::u16string_view address);
// The posting client's fragment unchanged when it is one link with a safe
// address (attributes href, rel and target only) around plain text, as the
// service writes it; anything else escaped as text.
std::u16string SafeSourceFragment(std::u16string_view source);

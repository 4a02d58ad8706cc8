// The string table: every user-visible text of the add-in by id, with Windows
// message inserts ("%1!s!", "%1!d!"), and the FormatMessage-style formatter
// that fills them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

#include "res/string_ids.h"

// The text of a string-table entry, or empty when there is none.
std::u16string LoadStringW(unsigned id);

// One insert: text for "!s!", a number for "!d!" / "!u!" / "!x!" ...
using MessageArg = std::variant<std::u16string, std::int64_t>;

// FormatMessageW with FORMAT_MESSAGE_FROM_STRING: "%1" .. "%99" take the
// numbered insert, optionally with a printf-style format between "!" marks
// ("%1!s!", "%2!d!", "%1!lx!"); "%%" is "%", "%n" a line break ("\r\n"),
// "%0" ends the message, "%." "%!" and "% " stand for themselves. A missing
// insert or a bad format fails: *ok is set false and the result is empty.
std::u16string FormatMessageW(std::u16string_view pattern, std::initializer_list<MessageArg> args,
                              bool* ok = nullptr);

// LoadStringW + FormatMessageW.
std::u16string FormatStringW(unsigned id, std::initializer_list<MessageArg> args = {});

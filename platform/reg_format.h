// The hive file format: the text of a Windows .reg export ("Windows Registry
// Editor Version 5.00"), stored as UTF-8 on this platform. One "[ROOT\path]"
// section per key, parents before children, then its values:
//   @="default value"          the unnamed (default) value
//   "Name"="text"              REG_SZ that is a clean string: NUL-terminated,
//                              no other NUL, no CR or LF ("\" and '"' escaped)
//   "Name"=dword:0000000a      REG_DWORD of exactly 4 bytes
//   "Name"=hex:01,02           REG_BINARY
//   "Name"=hex(N):..           any other type or data (N in hex), e.g. a
//                              REG_SZ without its NUL is hex(1)
// Long hex lists continue on the next line after a trailing "\". Reading
// also takes what hand-edited or Windows-made files may hold: a UTF-8 or
// UTF-16LE byte order mark, CRLF line ends, ";" comments, "[-path]" and
// "Name"=- deletions.
#pragma once

#include <string>
#include <string_view>

#include "platform/reg_tree.h"

namespace platform::reg {

inline constexpr std::string_view kRegFileHeader = "Windows Registry Editor Version 5.00";

// Adds the keys and values of `text` to `root`, whose name is the root every
// section must start with (e.g. "HKEY_CURRENT_USER"). Returns false with a
// short reason (line number first) when the text is not a well-formed hive;
// `root` then holds part of it and should be discarded. Any input is safe.
bool ParseRegText(std::string_view text, Key* root, std::string* error);

// The hive file text of `root` and everything below it. ParseRegText reads
// it back to the same names, order, types and bytes.
std::string SerializeRegText(const Key& root);

}  // namespace platform::reg

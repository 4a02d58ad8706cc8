// Folder names on disk, written the way Dovecot writes Maildir++ names so
// that a Dovecot server, and the clients that read the tree directly, show
// the same names: characters outside printable ASCII in modified UTF-7
// ("&" itself as "&-"), and the characters that cannot stand in one name
// component - the hierarchy separator ".", "/", the escape character "\" and
// a leading "~" - as "\" and two hex digits (Dovecot's list escaping).
#pragma once

#include <string>
#include <string_view>

namespace mailstore {

// One name component (not a path) as it is written on disk.
std::string EncodeFolderName(std::u16string_view name);
// The name a component on disk stands for. Text that is not valid modified
// UTF-7 is taken as UTF-8, as written by tools that store names unencoded.
std::u16string DecodeFolderName(std::string_view encoded);

}  // namespace mailstore

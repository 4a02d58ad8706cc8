// The account password at rest: the uppercase hex text of the blob that data
// protection gives for the clear text (UTF-16LE with its NUL), bound to the
// user and to a fixed entropy.
#pragma once

#include <string>
#include <string_view>

// Empty in, empty out; empty on any failure.
std::u16string ProtectPassword(std::u16string_view clearText);
std::u16string UnprotectPassword(std::u16string_view hexText);

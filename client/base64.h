// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks), as the
// Basic authorization header needs it.
#pragma once

#include <string>
#include <string_view>

std::string Base64Encode(std::string_view bytes);

#include "client/fetch_rules.h"

#include <algorithm>
#include <limits>

int RequestedMessageCount(const CTwitterAccount& account) {
  auto guard = account.Lock();
  return std::clamp<int>(account.RequestMessageCount, 0, 200);
}

std::optional<std::int64_t> ParseMessageId(std::u16string_view text) {
  if (text.empty()) return std::nullopt;
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::int64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    const int digit = c - u'0';
    if (value > (kMax - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::int64_t MessageIdOrZero(std::u16string_view text) { return ParseMessageId(text).value_or(0); }

bool IsNewerMarker(std::u16string_view candidate, std::u16string_view current) {
  const std::optional<std::int64_t> id = ParseMessageId(candidate);
  return id && *id > MessageIdOrZero(current);
}

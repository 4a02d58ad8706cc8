// What the timeline and search fetches share: how many entries to ask for,
// and how the service's ids and the stored last-seen markers compare. The ids
// come from the network, so only plain decimal numbers that fit a signed
// 64-bit value count as ids; anything else must not become a marker.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "settings/account.h"

// RequestMessageCount clamped to 0..200 (read under the account's lock).
int RequestedMessageCount(const CTwitterAccount& account);

// The id's value when the text is all decimal digits and fits a signed 64-bit
// value without saturating; nothing otherwise.
std::optional<std::int64_t> ParseMessageId(std::u16string_view text);

// The id's value for comparisons: 0 for anything that is no valid id.
std::int64_t MessageIdOrZero(std::u16string_view text);

// Whether `candidate` may replace the marker `current`: a valid id above the
// current one (a marker that is no valid id counts as 0), so a marker never
// moves back and never takes a value the next fetch could not read.
bool IsNewerMarker(std::u16string_view candidate, std::u16string_view current);

// Decoding of the service's JSON answers into the client's records, the one
// rule for copying a member into a text field, and the two date formats the
// service writes.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "client/records.h"
#include "platform/win32.h"

struct json_object;

// Copies member `name` of `object` into `field` as text: a JSON string gives
// its characters, any other value its JSON rendering ("123", "true", "{...}").
// An absent member, a null value or an `object` that is not a JSON object
// leaves the field unchanged.
void ReadJsonField(std::u16string& field, json_object* object, const char* name);

// A value of the wrong JSON type gives a fresh record.
TwitterUser DecodeUser(json_object* value);
// For statuses and direct messages; the caller sets `kind`.
TwitterStatus DecodeStatus(json_object* value);
// For one element of a search answer's "results"; sets `kind` to search.
TwitterStatus DecodeSearchResult(json_object* value);

// "Wed Aug 27 13:08:45 +0000 2008". The result starts as the current UTC time;
// a match overwrites the date and time (the zone offset is not applied).
// False when the text does not match or a number does not fit 16 bits.
bool ParseStatusDate(std::u16string_view text, SYSTEMTIME* utc);
// "Wed, 27 Aug 2008 13:08:45 +0000", with the same rules.
bool ParseSearchDate(std::u16string_view text, SYSTEMTIME* utc);

// "Jan" .. "Dec" (exact case) give 1 .. 12; anything else gives 1.
WORD MonthFromName(std::string_view name);

// The parsed value of a whole JSON text, or null when it does not parse. The
// caller releases it with json_object_put (or holds it in a JsonPtr).
json_object* ParseJsonText(const std::string& text);

struct JsonRelease {
  void operator()(json_object* value) const;
};
using JsonPtr = std::unique_ptr<json_object, JsonRelease>;

// The text ReadJsonField copies, as UTF-8: false for a null value.
bool JsonValueText(json_object* value, std::string* utf8);

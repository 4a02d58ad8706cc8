// The text of the statistics page's data file "data.js": twelve lines, each
// "<name> = <series>;\r\n", the series written as JSON with json-c's
// classic spacing ("{ "data": [ [ 1260172800, 3 ] ], "label": "" }").
#pragma once

#include <string>
#include <string_view>

#include "stats/stats_storage.h"

namespace nevlora {

// A JSON string literal: quotation mark, backslash and slash escaped with a
// backslash, as are backspace, tab, newline and carriage return; other
// characters below 32 as \u00xx; everything else byte for byte.
void AppendJsonString(std::string* out, std::string_view text);

// An array of series objects, a new one whenever key2 changes (compared
// byte for byte); "[ ]" for no rows.
std::string SeriesJson(const CounterRows& rows);

// One line of the data file.
std::string DataLine(std::string_view name, const CounterRows& rows);

// The whole data file from a store (a closed store gives twelve "[ ]").
std::string BuildDataFile(CStatsStorage& store);

}  // namespace nevlora

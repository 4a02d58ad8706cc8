// The one set of options every regular expression of the add-in is compiled
// with: UTF-8 and nothing else, so \w stays the ASCII word characters.
#pragma once

#include <pcrecpp.h>

inline pcrecpp::RE_Options Utf8PatternOptions() {
  pcrecpp::RE_Options options;
  options.set_utf8(true);
  return options;
}

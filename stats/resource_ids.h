// The statistics page and its chart scripts, embedded in the module as
// resources of the type "IMAGE".
#pragma once

constexpr unsigned short IDR_STATS_JQUERY = 208;       // jquery.js
constexpr unsigned short IDR_STATS_FLOT = 209;         // jquery.flot.js
constexpr unsigned short IDR_STATS_EXCANVAS = 210;     // excanvas.js
constexpr unsigned short IDR_STATS_PAGE = 211;         // fots.hta
constexpr char16_t kStatsResourceType[] = u"IMAGE";

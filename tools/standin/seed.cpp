#include "tools/standin/seed.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

namespace standin {

namespace {

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Format(std::int64_t unixSeconds, const char* format) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  // Day and month names in English whatever the locale.
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char buffer[64];
  const std::string f(format);
  if (f == "status")
    std::snprintf(buffer, sizeof buffer, "%s %s %02d %02d:%02d:%02d +0000 %04d", kDays[tm.tm_wday],
                  kMonths[tm.tm_mon], tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year + 1900);
  else
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d %s", kDays[tm.tm_wday], tm.tm_mday,
                  kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  f == "http" ? "GMT" : "+0000");
  return buffer;
}

}  // namespace

const SeedUser* SeedData::FindUser(const std::string& screenName) const {
  for (const SeedUser& u : users)
    if (SameNameIgnoringCase(u.screenName, screenName)) return &u;
  return nullptr;
}

const SeedUser* SeedData::FindUserById(std::int64_t id) const {
  for (const SeedUser& u : users)
    if (u.id == id) return &u;
  return nullptr;
}

bool SeedData::IsFriend(const std::string& screenName) const {
  if (friends.empty()) return true;
  return std::any_of(friends.begin(), friends.end(),
                     [&](const std::string& f) { return SameNameIgnoringCase(f, screenName); });
}

std::int64_t SeedData::LargestId() const {
  std::int64_t largest = 0;
  for (const auto& s : statuses) largest = std::max(largest, s.id);
  for (const auto& d : directs) largest = std::max(largest, d.id);
  for (const auto& s : searchHits) largest = std::max(largest, s.id);
  return largest;
}

std::string StatusDate(std::int64_t unixSeconds) { return Format(unixSeconds, "status"); }
std::string SearchDate(std::int64_t unixSeconds) { return Format(unixSeconds, "search"); }
std::string HttpDate(std::int64_t unixSeconds) { return Format(unixSeconds, "http"); }

}  // namespace standin

#include "stats/counter_def.h"

namespace nevlora {
namespace {

// Created when the module loads, as the store expects them to outlive every
// store object.
const CCounterDefHourly g_hourly;
const CCounterDefDaily g_daily;
const CCounterDefMonthly g_monthly;

void ClearDayFields(std::tm* local) {
  local->tm_wday = 0;
  local->tm_yday = 0;
}

}  // namespace

std::int64_t CCounterDef::PeriodStart(std::int64_t time) const {
  const std::time_t t = static_cast<std::time_t>(time);
  std::tm local{};
  if (!localtime_r(&t, &local)) return 0;
  TruncateToPeriod(&local);
  local.tm_sec = 0;
  local.tm_min = 0;
  return static_cast<std::int64_t>(std::mktime(&local));
}

// An hour keeps the daylight-saving flag of the time itself: in the hour
// that repeats when clocks go back, the flag tells the two hours apart.
void CCounterDefHourly::TruncateToPeriod(std::tm* local) const {
  local->tm_sec = 0;
  local->tm_min = 0;
  ClearDayFields(local);
}

// Midnight and the first of the month may lie on the other side of a
// daylight-saving change than the time itself, so their own offset applies;
// with the time's flag one day would start at two different moments.
void CCounterDefDaily::TruncateToPeriod(std::tm* local) const {
  local->tm_sec = 0;
  local->tm_min = 0;
  local->tm_hour = 0;
  local->tm_isdst = -1;
  ClearDayFields(local);
}

void CCounterDefMonthly::TruncateToPeriod(std::tm* local) const {
  local->tm_sec = 0;
  local->tm_min = 0;
  local->tm_hour = 0;
  local->tm_mday = 1;
  local->tm_isdst = -1;
  ClearDayFields(local);
}

const CCounterDefHourly& HourlyCounter() { return g_hourly; }
const CCounterDefDaily& DailyCounter() { return g_daily; }
const CCounterDefMonthly& MonthlyCounter() { return g_monthly; }

}  // namespace nevlora

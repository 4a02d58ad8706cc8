#include "platform/win32.h"

#include <chrono>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

thread_local DWORD t_lastError = 0;

// Days from 1970-01-01 of a proleptic Gregorian date (Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<std::int64_t>(yoe) + era * 400 + (*m <= 2);
}

bool IsLeap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(unsigned y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

constexpr std::int64_t kDaysFrom1601To1970 = 134774;

}  // namespace

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD err) { t_lastError = err; }

void GetSystemTimeAsFileTime(FILETIME* ft) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
  *ft = U64ToFileTime(kFileTimeUnixEpoch + static_cast<std::uint64_t>(ticks));
}

void GetSystemTime(SYSTEMTIME* st) {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  FileTimeToSystemTime(&ft, st);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft) {
  if (!st || !ft) return FALSE;
  if (st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 ||
      st->wDay > DaysInMonth(st->wYear, st->wMonth) || st->wHour > 23 || st->wMinute > 59 ||
      st->wSecond > 59 || st->wMilliseconds > 999) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::int64_t days = DaysFromCivil(st->wYear, st->wMonth, st->wDay) + kDaysFrom1601To1970;
  const std::uint64_t secs =
      static_cast<std::uint64_t>(days) * 86400 + st->wHour * 3600u + st->wMinute * 60u + st->wSecond;
  *ft = U64ToFileTime(secs * 10000000ull + st->wMilliseconds * 10000ull);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st) {
  if (!ft || !st) return FALSE;
  const std::uint64_t v = FileTimeToU64(*ft);
  if (v > 0x7FFFFFFFFFFFFFFFull) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::uint64_t secs = v / 10000000ull;
  const std::int64_t days = static_cast<std::int64_t>(secs / 86400) - kDaysFrom1601To1970;
  const std::uint64_t rem = secs % 86400;
  std::int64_t y;
  unsigned m, d;
  CivilFromDays(days, &y, &m, &d);
  st->wYear = static_cast<WORD>(y);
  st->wMonth = static_cast<WORD>(m);
  st->wDay = static_cast<WORD>(d);
  st->wHour = static_cast<WORD>(rem / 3600);
  st->wMinute = static_cast<WORD>((rem % 3600) / 60);
  st->wSecond = static_cast<WORD>(rem % 60);
  st->wMilliseconds = static_cast<WORD>((v % 10000000ull) / 10000);
  // 1601-01-01 was a Monday.
  st->wDayOfWeek = static_cast<WORD>((static_cast<std::uint64_t>(days + kDaysFrom1601To1970) + 1) % 7);
  return TRUE;
}

bool SystemTimeToUnixSeconds(const SYSTEMTIME& st, std::int64_t* seconds) {
  FILETIME ft;
  if (!SystemTimeToFileTime(&st, &ft)) return false;
  const std::uint64_t v = FileTimeToU64(ft);
  *seconds = (static_cast<std::int64_t>(v) - static_cast<std::int64_t>(kFileTimeUnixEpoch)) / 10000000;
  return true;
}

SYSTEMTIME UnixSecondsToSystemTime(std::int64_t seconds) {
  SYSTEMTIME st{};
  // FILETIME's range: 1601 to about 30828; anything else is no time at all.
  constexpr std::int64_t kFirst = -11644473600;
  constexpr std::int64_t kLast = 910692730085;
  if (seconds < kFirst || seconds > kLast) return st;
  const std::int64_t ticks = seconds * 10000000 + static_cast<std::int64_t>(kFileTimeUnixEpoch);
  if (ticks < 0) return st;
  const FILETIME ft = U64ToFileTime(static_cast<std::uint64_t>(ticks));
  FileTimeToSystemTime(&ft, &st);
  return st;
}

BOOL SystemTimeToTzSpecificLocalTime(const void*, const SYSTEMTIME* utc, SYSTEMTIME* local) {
  if (!utc || !local) return FALSE;
  std::int64_t secs;
  if (!SystemTimeToUnixSeconds(*utc, &secs)) return FALSE;
  const std::time_t t = static_cast<std::time_t>(secs);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return FALSE;
  local->wYear = static_cast<WORD>(tm.tm_year + 1900);
  local->wMonth = static_cast<WORD>(tm.tm_mon + 1);
  local->wDay = static_cast<WORD>(tm.tm_mday);
  local->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
  local->wHour = static_cast<WORD>(tm.tm_hour);
  local->wMinute = static_cast<WORD>(tm.tm_min);
  local->wSecond = static_cast<WORD>(tm.tm_sec);
  local->wMilliseconds = utc->wMilliseconds;
  return TRUE;
}

ULONGLONG GetTickCount64() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<ULONGLONG>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

DWORD GetCurrentThreadId() { return static_cast<DWORD>(::syscall(SYS_gettid)); }

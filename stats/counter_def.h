// The three period kinds of the counters: hour, day and month, each with
// how long its rows are kept.
#pragma once

#include <cstdint>
#include <ctime>

namespace nevlora {

class CCounterDef {
 public:
  CCounterDef(const char* kind, std::int64_t retentionSeconds) : m_kind(kind), m_retention(retentionSeconds) {}
  CCounterDef(const CCounterDef&) = delete;
  CCounterDef& operator=(const CCounterDef&) = delete;
  virtual ~CCounterDef() = default;
  // Moves a local broken-down time back to the start of its period.
  virtual void TruncateToPeriod(std::tm* local) const = 0;

  const char* kind() const { return m_kind; }
  std::int64_t retention() const { return m_retention; }

  // Seconds since 1970 UTC of the local-time start of the period that holds
  // `time`; 0 when the time has no local form.
  std::int64_t PeriodStart(std::int64_t time) const;

 private:
  const char* m_kind;
  std::int64_t m_retention;
};

class CCounterDefHourly : public CCounterDef {
 public:
  CCounterDefHourly() : CCounterDef("h", 89999) {}
  void TruncateToPeriod(std::tm* local) const override;
};

class CCounterDefDaily : public CCounterDef {
 public:
  CCounterDefDaily() : CCounterDef("d", 2879999) {}
  void TruncateToPeriod(std::tm* local) const override;
};

class CCounterDefMonthly : public CCounterDef {
 public:
  CCounterDefMonthly() : CCounterDef("m", 37439999) {}
  void TruncateToPeriod(std::tm* local) const override;
};

// The process-wide definitions.
const CCounterDefHourly& HourlyCounter();
const CCounterDefDaily& DailyCounter();
const CCounterDefMonthly& MonthlyCounter();

}  // namespace nevlora

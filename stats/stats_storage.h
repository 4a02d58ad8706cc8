// The counter store: how many tweets were received and sent per hour, day
// and month, in total and per person, in the SQLite database
// "<data folder>/Stats/s1.dat".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stats/counter_def.h"
#include "stats/sqlite_wrapper.h"

struct sqlite3_stmt;

namespace nevlora {

// One row of a query result.
struct CounterRow {
  std::int64_t ts = 0;  // period start, seconds since 1970 UTC
  std::string kind;     // "h", "d", "m"
  std::string key1;     // "r" received, "s" sent
  std::string key2;     // "" for the total, else a screen name (UTF-8)
  std::int32_t count = 0;
};

using CounterRows = std::vector<CounterRow>;

class CStatsStorage : public CSqliteWrapper {
 public:
  // Codes of the store's own statements, printed with their errors.
  enum StoreOperation : std::int32_t {
    OpInsert = 400,
    OpUpdate = 401,
    OpQuerySeries = 402,
    OpQueryTop = 403,
    OpPrune = 404,
  };

  CStatsStorage();
  ~CStatsStorage() override;
  void Close() override;
  const char* GetSchemaSql() override;

  // Adds one to the counter of every period kind for the period that holds
  // `time` (seconds since 1970 UTC). Returns 0.
  int AddCount(std::int64_t time, const std::string& key1, const std::string& key2);
  // Deletes the rows older than each kind's retention. Returns 0.
  int PruneOld();
  // The total series of one direction and kind, ordered by time.
  void QuerySeries(const std::string& kind, const std::string& key1, CounterRows* rows);
  // The series of the three persons with the highest total, grouped by
  // person and ordered by time within each.
  void QueryTop(const std::string& kind, const std::string& key1, CounterRows* rows);

  const std::vector<const CCounterDef*>& definitions() const { return m_defs; }

 private:
  enum Statement { StInsert, StUpdate, StSeries, StTop, StPrune, StCount };
  struct Binding {
    enum { Text, Int } type;
    std::string text;
    std::int64_t number;
  };
  // Prepares (once) and binds a statement; null after a failure, which is
  // reported. The caller steps it and then calls Finish.
  sqlite3_stmt* Bind(Statement which, std::int32_t op, std::initializer_list<Binding> bindings);
  // Reports the step's code, then resets the statement for its next use.
  void Finish(Statement which, int code);
  void Query(Statement which, std::int32_t op, std::initializer_list<Binding> bindings, const std::string& kind,
             const std::string& key1, bool withKey2, CounterRows* rows);

  std::vector<const CCounterDef*> m_defs;
  sqlite3_stmt* m_statements[StCount] = {};
};

// Builds the database path (creating the "Stats" folder) and opens a store
// under the process-wide store-open lock. Always returns a store; when
// opening failed, its operations find no connection and do nothing.
std::unique_ptr<CStatsStorage> OpenStatsStore();
// The database file of the current user.
std::u16string StatsDatabasePath();

}  // namespace nevlora

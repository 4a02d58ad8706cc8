#include "stats/stats_storage.h"

#include <sqlite3.h>

#include <ctime>
#include <mutex>

#include "diag/data_folder.h"
#include "platform/known_folders.h"

namespace nevlora {
namespace {

const char* const kStatementText[] = {
    "INSERT OR IGNORE INTO counter VALUES (?1, ?2, ?3, ?4, 0)",
    "UPDATE counter SET count = count+?5 WHERE type=?1 AND key1=?2 AND key2=?3 AND ts=?4;",
    "SELECT ts, count FROM counter WHERE type=?1 AND key1=?2 and key2=?3 ORDER BY ts",
    "SELECT key2, ts, count FROM counter WHERE type=?1 AND key1=?2  AND key2 IN ( \t\t\tSELECT key2 FROM counter "
    "\t\t\tWHERE type=?1 AND key1=?2 AND key2<>'' \t\t\tGROUP BY type, key1, key2 \t\t\tORDER BY sum(count) DESC "
    "LIMIT ?3) ORDER BY key2, ts ",
    "DELETE from counter WHERE type=?1 AND ts<?2 ",
};

constexpr int kTopPersons = 3;

// Held only while the path is built and the database opened.
std::mutex g_storeOpenLock;

}  // namespace

CStatsStorage::CStatsStorage() : m_defs{&HourlyCounter(), &DailyCounter(), &MonthlyCounter()} {}

CStatsStorage::~CStatsStorage() { CStatsStorage::Close(); }

void CStatsStorage::Close() {
  for (auto& stmt : m_statements) {
    sqlite3_finalize(stmt);
    stmt = nullptr;
  }
  CSqliteWrapper::Close();
}

const char* CStatsStorage::GetSchemaSql() {
  return "CREATE TABLE IF NOT EXISTS counter(\ttype TEXT NOT NULL,\tkey1 TEXT NOT NULL COLLATE NOCASE,\tkey2 TEXT NOT "
         "NULL COLLATE NOCASE,\tts INTEGER NOT NULL,\tcount INTEGER NOT NULL\t);CREATE UNIQUE INDEX IF NOT EXISTS "
         "counter_type_key1_key2_ts_idx ON counter(type, key1, key2, ts);CREATE INDEX IF NOT EXISTS "
         "counter_type_ts_idx ON counter(type, ts);CREATE INDEX IF NOT EXISTS counter_ts_idx ON counter(ts);";
}

sqlite3_stmt* CStatsStorage::Bind(Statement which, std::int32_t op, std::initializer_list<Binding> bindings) {
  if (!m_db) return nullptr;
  m_lastOp = op;
  int rc = SQLITE_OK;
  if (!m_statements[which]) rc = sqlite3_prepare_v2(m_db, kStatementText[which], -1, &m_statements[which], nullptr);
  int param = 1;
  for (auto it = bindings.begin(); rc == SQLITE_OK && it != bindings.end(); ++it, ++param) {
    if (it->type == Binding::Text)
      rc = sqlite3_bind_text(m_statements[which], param, it->text.data(), static_cast<int>(it->text.size()),
                             SQLITE_TRANSIENT);
    else
      rc = sqlite3_bind_int64(m_statements[which], param, it->number);
  }
  if (rc != SQLITE_OK) {
    Finish(which, rc);
    return nullptr;
  }
  return m_statements[which];
}

void CStatsStorage::Finish(Statement which, int code) {
  ReportError(code);
  // A corrupt database closes the store inside ReportError, statements and
  // all; only a statement that is still there is reset.
  if (sqlite3_stmt* stmt = m_statements[which]) {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
  }
}

int CStatsStorage::AddCount(std::int64_t time, const std::string& key1, const std::string& key2) {
  if (!m_db) return 0;
  for (const CCounterDef* def : m_defs) {
    const std::int64_t start = def->PeriodStart(time);
    const std::string kind = def->kind();
    if (sqlite3_stmt* insert = Bind(StInsert, OpInsert,
                                    {{Binding::Text, kind, 0}, {Binding::Text, key1, 0}, {Binding::Text, key2, 0},
                                     {Binding::Int, {}, start}}))
      Finish(StInsert, sqlite3_step(insert));
    if (sqlite3_stmt* update = Bind(StUpdate, OpUpdate,
                                    {{Binding::Text, kind, 0}, {Binding::Text, key1, 0}, {Binding::Text, key2, 0},
                                     {Binding::Int, {}, start}, {Binding::Int, {}, 1}}))
      Finish(StUpdate, sqlite3_step(update));
  }
  return 0;
}

int CStatsStorage::PruneOld() {
  if (!m_db) return 0;
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  for (const CCounterDef* def : m_defs) {
    if (sqlite3_stmt* prune =
            Bind(StPrune, OpPrune, {{Binding::Text, def->kind(), 0}, {Binding::Int, {}, now - def->retention()}}))
      Finish(StPrune, sqlite3_step(prune));
  }
  return 0;
}

void CStatsStorage::Query(Statement which, std::int32_t op, std::initializer_list<Binding> bindings,
                          const std::string& kind, const std::string& key1, bool withKey2, CounterRows* rows) {
  sqlite3_stmt* stmt = Bind(which, op, bindings);
  if (!stmt) return;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    int col = 0;
    CounterRow row;
    if (withKey2) {
      const auto* key2 = sqlite3_column_text(stmt, col);
      const int size = sqlite3_column_bytes(stmt, col);
      ++col;
      if (!key2) continue;
      row.key2.assign(reinterpret_cast<const char*>(key2), static_cast<std::size_t>(size));
    }
    row.ts = sqlite3_column_int64(stmt, col);
    row.count = sqlite3_column_int(stmt, col + 1);
    if (row.ts == 0 || row.count == 0) continue;
    row.kind = kind;
    row.key1 = key1;
    rows->push_back(std::move(row));
  }
  Finish(which, rc);
}

void CStatsStorage::QuerySeries(const std::string& kind, const std::string& key1, CounterRows* rows) {
  if (!m_db) return;
  Query(StSeries, OpQuerySeries, {{Binding::Text, kind, 0}, {Binding::Text, key1, 0}, {Binding::Text, "", 0}}, kind,
        key1, false, rows);
}

void CStatsStorage::QueryTop(const std::string& kind, const std::string& key1, CounterRows* rows) {
  if (!m_db) return;
  Query(StTop, OpQueryTop, {{Binding::Text, kind, 0}, {Binding::Text, key1, 0}, {Binding::Int, {}, kTopPersons}},
        kind, key1, true, rows);
}

std::u16string StatsDatabasePath() {
  std::u16string path = GetDataFolder();
  path += kPathSeparator;
  path += u"Stats";
  path += kPathSeparator;
  path += u"s1.dat";
  return path;
}

std::unique_ptr<CStatsStorage> OpenStatsStore() {
  std::lock_guard guard(g_storeOpenLock);
  const std::u16string path = StatsDatabasePath();
  CreateFolderChain(path);
  auto store = std::make_unique<CStatsStorage>();
  store->Open(path);
  return store;
}

}  // namespace nevlora

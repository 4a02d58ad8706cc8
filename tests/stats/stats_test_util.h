// Shared pieces of the statistics tests: a fresh profile with the settings
// reloaded, the log lines of the "sql" and "slw" categories, and direct
// access to the database file.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "client/records.h"
#include "diag/data_folder.h"
#include "platform/text.h"
#include "settings/account.h"
#include "settings/test_hooks.h"
#include "stats/stats_storage.h"
#include "tests/support/log_capture.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_profile.h"

namespace stats_test {

// The messages logged in the categories the database code uses.
class LogLines {
 public:
  // Everything logged since the last call.
  std::vector<std::string> Take() {
    std::vector<std::string> lines;
    for (auto* capture : {&sql_, &slw_}) {
      for (auto& line : capture->Lines()) lines.push_back(line);
      capture->Clear();
    }
    return lines;
  }
  // The same without the debug lines (which start with "ini: ").
  std::vector<std::string> Errors() {
    std::vector<std::string> out;
    for (auto& line : Take())
      if (line.rfind("ini: ", 0) != 0) out.push_back(line);
    return out;
  }

 private:
  testing_support::LogCapture sql_{"sql"};
  testing_support::LogCapture slw_{"slw"};
};

// A profile of its own, with the account loaded from it.
class StatsTest : public ::testing::Test {
 protected:
  void SetUp() override { ReloadSettingsForTests(); }
  void TearDown() override { ReloadSettingsForTests(); }

  std::string DataFolder() const { return profile_.dataDir() + "/Nevlora/Wrenvia"; }
  std::string DatabasePath() const { return DataFolder() + "/Stats/s1.dat"; }
  std::string ReportFolder() const { return DataFolder() + "/StatsUI"; }

  void SetStatsEnabled(bool on) {
    CTwitterAccount& account = GetAccount();
    auto guard = account.Lock();
    account.EnableStats = on;
  }

  testing_support::TempProfile profile_;
};

// Runs SQL on a database file through a connection of its own.
class Db {
 public:
  explicit Db(const std::string& path) { sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr); }
  ~Db() { sqlite3_close_v2(db_); }
  bool ok() const { return db_ != nullptr; }
  int Exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
  // The first column of the first row as text ("" when there is none).
  std::string Text(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW &&
        sqlite3_column_text(stmt, 0))
      out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    return out;
  }
  long long Number(const std::string& sql) { return std::atoll(Text(sql).c_str()); }
  // Every row as "col1|col2|...".
  std::vector<std::string> Rows(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    std::vector<std::string> rows;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
          if (i) row += "|";
          const auto* t = sqlite3_column_text(stmt, i);
          row += t ? reinterpret_cast<const char*>(t) : "NULL";
        }
        rows.push_back(row);
      }
    }
    sqlite3_finalize(stmt);
    return rows;
  }
  sqlite3* handle() { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// Sets TZ for the life of the object.
using TimeZone = testing_support::ScopedTimeZone;

// A received tweet created at `time` (seconds since 1970 UTC).
inline TwitterStatus Tweet(std::int64_t time, const char16_t* sender) {
  TwitterStatus t;
  t.createdUtc = UnixSecondsToSystemTime(time);
  t.user.screenName = sender;
  return t;
}

}  // namespace stats_test

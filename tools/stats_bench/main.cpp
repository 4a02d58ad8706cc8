// Statistics figures: recording one large polling cycle, and writing the
// report over a database that holds 14 months of counts. Runs in a private
// temporary profile and prints its figures; the user's own data is never
// touched.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>

#include "diag/data_folder.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "stats/counter_def.h"
#include "stats/stats_recording.h"
#include "stats/stats_report.h"
#include "stats/stats_storage.h"

namespace {

constexpr int kTweets = 10000;
constexpr int kSenders = 500;
constexpr int kRuns = 3;

using Clock = std::chrono::steady_clock;

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

long long FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

std::string g_profile;

// A fresh profile folder for one run.
void UseProfile(int run) {
  const std::string base = g_profile + "/run" + std::to_string(run);
  std::filesystem::create_directories(base + "/home");
  setenv("HOME", (base + "/home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
  setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
  setenv("XDG_CACHE_HOME", (base + "/cache").c_str(), 1);
}

std::string DatabaseFile() { return Utf16ToUtf8(nevlora::StatsDatabasePath()); }

// One cycle's worth of tweets from 500 senders over the last six hours.
TweetList BigCycle(std::int64_t now) {
  std::mt19937 random(42);
  TweetList tweets(kTweets);
  for (int i = 0; i < kTweets; ++i) {
    tweets[i].createdUtc = UnixSecondsToSystemTime(now - static_cast<std::int64_t>(random() % 21600));
    tweets[i].user.screenName = Utf8ToUtf16("sender" + std::to_string(random() % kSenders));
  }
  return tweets;
}

// Every counter a year and two months of steady use leaves after pruning:
// for both directions, the total and 500 persons, 25 hours, 34 days and 15
// months of rows.
void FillFourteenMonths(std::int64_t now) {
  { auto store = nevlora::OpenStatsStore(); }  // creates the file and schema
  sqlite3* db = nullptr;
  sqlite3_open(DatabaseFile().c_str(), &db);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO counter VALUES (?1, ?2, ?3, ?4, ?5)", -1, &insert, nullptr);
  std::mt19937 random(7);
  struct Span {
    const nevlora::CCounterDef& def;
    int periods;
    std::int64_t step;
  };
  const Span spans[] = {{nevlora::HourlyCounter(), 25, 3600},
                        {nevlora::DailyCounter(), 34, 86400},
                        {nevlora::MonthlyCounter(), 15, 30 * 86400}};
  for (const char* key1 : {"r", "s"}) {
    for (int person = -1; person < kSenders; ++person) {
      const std::string key2 = person < 0 ? "" : "sender" + std::to_string(person);
      for (const Span& span : spans) {
        for (int i = 0; i < span.periods; ++i) {
          sqlite3_bind_text(insert, 1, span.def.kind(), -1, SQLITE_STATIC);
          sqlite3_bind_text(insert, 2, key1, -1, SQLITE_STATIC);
          sqlite3_bind_text(insert, 3, key2.c_str(), -1, SQLITE_TRANSIENT);
          sqlite3_bind_int64(insert, 4, span.def.PeriodStart(now - i * span.step));
          sqlite3_bind_int(insert, 5, 1 + static_cast<int>(random() % (person < 0 ? 5000 : 50)));
          sqlite3_step(insert);
          sqlite3_reset(insert);
        }
      }
    }
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

}  // namespace

int main() {
  char tmpl[] = "/tmp/wrenvia-stats-bench-XXXXXX";
  if (!mkdtemp(tmpl)) {
    std::perror("mkdtemp");
    return 1;
  }
  g_profile = tmpl;
  // The report must not open a browser.
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("BROWSER");

  const auto now = static_cast<std::int64_t>(std::time(nullptr));
  const TweetList cycle = BigCycle(now);
  std::printf("stats_bench: %d received tweets of %d senders in one cycle; report over 14 months\n", kTweets,
              kSenders);
  for (int run = 0; run < kRuns; ++run) {
    UseProfile(run);
    auto start = Clock::now();
    RecordReceivedTweets(cycle);
    const double record = Millis(Clock::now() - start);
    const long long afterCycle = FileSize(DatabaseFile());

    FillFourteenMonths(now);
    // A cycle on the full database, pruning included.
    start = Clock::now();
    RecordReceivedTweets(cycle);
    const double recordFull = Millis(Clock::now() - start);
    const long long full = FileSize(DatabaseFile());

    const std::u16string folder = nevlora::StatsReportFolder();
    CreateFolderChain(folder + u"/");
    start = Clock::now();
    ShowStatsReport(folder);
    const double report = Millis(Clock::now() - start);
    const long long dataJs = FileSize(Utf16ToUtf8(folder) + "/data.js");

    std::printf(
        "run %d: record cycle (new database) %.1f ms, database %lld bytes | record cycle (14-month database) "
        "%.1f ms | report %.1f ms, database %lld bytes, data.js %lld bytes\n",
        run + 1, record, afterCycle, recordFull, report, full, dataJs);
  }
  std::filesystem::remove_all(g_profile);
  return 0;
}

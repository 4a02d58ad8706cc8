// Counting and pruning through the recorders, the period starts in local
// time, and the queries of the counter store.
#include <log4cpp/Priority.hh>

#include <chrono>
#include <thread>

#include "stats/counter_def.h"
#include "stats/stats_recording.h"
#include "stats_test_util.h"

namespace {

using namespace stats_test;
using nevlora::CounterRows;
using testing_support::FileExists;

std::int64_t Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

class CounterStoreTest : public StatsTest {
 protected:
  std::vector<std::string> Counts(const std::string& where) {
    Db db(DatabasePath());
    return db.Rows("SELECT type, key1, key2, count FROM counter WHERE " + where + " ORDER BY key2, type");
  }
};

TEST_F(CounterStoreTest, FirstRecordingCreatesTheDatabaseWithThreeRowsPerCounter) {
  EXPECT_FALSE(FileExists(DataFolder()));
  RecordReceivedTweets({Tweet(Now() - 60, u"alice")});
  ASSERT_TRUE(FileExists(DatabasePath()));
  Db db(DatabasePath());
  EXPECT_EQ(db.Number("PRAGMA page_size"), 4096);
  EXPECT_EQ(db.Number("PRAGMA user_version"), 1);
  EXPECT_EQ(db.Number("SELECT count(*) FROM sqlite_master WHERE type='index'"), 3);
  EXPECT_EQ(Counts("1"), (std::vector<std::string>{"d|r||1", "h|r||1", "m|r||1", "d|r|alice|1", "h|r|alice|1",
                                                    "m|r|alice|1"}));
}

TEST_F(CounterStoreTest, SameHourAddsUpAndNamesCompareWithoutCase) {
  const std::int64_t t = Now() - 60;
  // One sender in capitals, then in small letters, and one with no name.
  RecordReceivedTweets({Tweet(t, u"Alice"), Tweet(t, u"alice"), Tweet(t, u"")});
  EXPECT_EQ(Counts("1"), (std::vector<std::string>{"d|r||3", "h|r||3", "m|r||3", "d|r|Alice|2", "h|r|Alice|2",
                                                    "m|r|Alice|2"}));
}

TEST_F(CounterStoreTest, SentTweetsCountTheirAddressee) {
  RecordSentTweet(u"@alice hi");
  RecordSentTweet(u"d bob hi");
  RecordSentTweet(u" @alice hi");
  RecordSentTweet(u"RT @alice: hi");
  RecordSentTweet(u"D bob capital D is no direct message");
  RecordSentTweet(u"@\u00e9mile names stop at non-ASCII letters");
  EXPECT_EQ(Counts("type='h'"), (std::vector<std::string>{"h|s||6", "h|s|alice|1", "h|s|bob|1"}));

  // An empty text counts nothing, but old rows are still pruned.
  {
    Db db(DatabasePath());
    db.Exec("INSERT INTO counter VALUES ('h', 's', '', " + std::to_string(Now() - 200000) + ", 4)");
  }
  RecordSentTweet(u"");
  EXPECT_EQ(Counts("type='h'"), (std::vector<std::string>{"h|s||6", "h|s|alice|1", "h|s|bob|1"}));
}

TEST_F(CounterStoreTest, ADatabaseLockedElsewhereSkipsTheRecording) {
  RecordSentTweet(u"first");
  const std::string old = std::to_string(Now() - 200000);
  Db holder(DatabasePath());
  holder.Exec("INSERT INTO counter VALUES ('h', 's', '', " + old + ", 4)");
  // Another connection holds the write lock past the busy timeout.
  ASSERT_EQ(holder.Exec("BEGIN IMMEDIATE"), SQLITE_OK);
  testing_support::LogCapture log("stats");
  const auto start = std::chrono::steady_clock::now();
  RecordReceivedTweets({Tweet(Now() - 60, u"alice"), Tweet(Now() - 60, u"bob")});
  RecordSentTweet(u"@carol hi");
  // One wait each for the transaction, not one per statement.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(12));
  holder.Exec("ROLLBACK");
  EXPECT_TRUE(log.HasAt(log4cpp::Priority::ERROR, "rrt: bt failed. 5")) << log.Text();
  EXPECT_TRUE(log.HasAt(log4cpp::Priority::ERROR, "rst: bt failed. 5")) << log.Text();
  // Nothing counted, nothing pruned.
  EXPECT_EQ(holder.Number("SELECT count(*) FROM counter WHERE key1='r' OR key2='carol'"), 0);
  EXPECT_EQ(holder.Number("SELECT count FROM counter WHERE ts=" + old), 4);
  EXPECT_EQ(holder.Number("SELECT count FROM counter WHERE type='h' AND ts<>" + old), 1);

  // Free again, the next recording counts and prunes.
  RecordSentTweet(u"again");
  EXPECT_EQ(Counts("type='h'"), (std::vector<std::string>{"h|s||2"}));
}

TEST_F(CounterStoreTest, StatsOffWritesNothing) {
  SetStatsEnabled(false);
  RecordReceivedTweets({Tweet(Now(), u"alice")});
  RecordSentTweet(u"@alice hi");
  EXPECT_FALSE(FileExists(DataFolder() + "/Stats"));
}

TEST_F(CounterStoreTest, PeriodStartsFollowLocalMidnightAndDaylightSaving) {
  TimeZone zone("Europe/Berlin");
  const auto& hour = nevlora::HourlyCounter();
  const auto& day = nevlora::DailyCounter();
  const auto& month = nevlora::MonthlyCounter();

  // 2009-12-07 23:50 CET (22:50 UTC), seen at 00:30 the next day: the
  // previous day's and the previous hour's rows.
  const std::int64_t lateEvening = 1260226200;
  EXPECT_EQ(hour.PeriodStart(lateEvening), 1260223200);  // 23:00 CET
  EXPECT_EQ(day.PeriodStart(lateEvening), 1260140400);   // 2009-12-07 00:00 CET
  EXPECT_EQ(day.PeriodStart(lateEvening + 2400), 1260226800);  // 00:30 belongs to the 8th
  EXPECT_EQ(month.PeriodStart(lateEvening), 1259622000);  // 2009-12-01 00:00 CET

  // 2010-03-28: clocks go from 02:00 CET to 03:00 CEST. The whole day starts
  // at midnight CET, before and after the change.
  const std::int64_t dayStart = 1269730800;  // 2010-03-28 00:00 CET = 03-27 23:00 UTC
  EXPECT_EQ(day.PeriodStart(dayStart + 5400), dayStart);    // 01:30 CET
  EXPECT_EQ(day.PeriodStart(dayStart + 50400), dayStart);   // 15:00 CEST
  EXPECT_EQ(hour.PeriodStart(dayStart + 50400 + 1800), dayStart + 50400);
  // The month of a summer-time day still starts at midnight CET.
  EXPECT_EQ(month.PeriodStart(1269986400 + 43200), 1267398000);  // 03-31 12:00 CEST -> 03-01 00:00 CET

  // 2010-10-31: 03:00 CEST goes back to 02:00 CET; the two 02:xx hours are
  // two periods.
  EXPECT_EQ(hour.PeriodStart(1288485000), 1288483200);  // 02:30 CEST = 00:30 UTC
  EXPECT_EQ(hour.PeriodStart(1288488600), 1288486800);  // 02:30 CET = 01:30 UTC
  EXPECT_EQ(day.PeriodStart(1288488600), 1288476000);   // 10-31 00:00 CEST
  EXPECT_EQ(day.PeriodStart(1288530000), 1288476000);   // 14:00 CET, same day
}

TEST_F(CounterStoreTest, PruningKeepsTwentyFourHoursAndDropsTwentyFive) {
  // Stay clear of an hour change between computing and pruning.
  while (Now() % 3600 > 3590) std::this_thread::sleep_for(std::chrono::seconds(1));
  const std::int64_t hourStart = nevlora::HourlyCounter().PeriodStart(Now());
  RecordSentTweet(u"first");
  {
    Db db(DatabasePath());
    for (int hoursAgo : {24, 25})
      db.Exec("INSERT INTO counter VALUES ('h', 'r', '', " + std::to_string(hourStart - hoursAgo * 3600) + ", 7)");
    // A day row just inside and one just outside the daily retention.
    db.Exec("INSERT INTO counter VALUES ('d', 'r', '', " + std::to_string(Now() - 2879999 + 60) + ", 7)");
    db.Exec("INSERT INTO counter VALUES ('d', 'r', '', " + std::to_string(Now() - 2879999 - 60) + ", 7)");
  }
  RecordReceivedTweets({});
  Db db(DatabasePath());
  EXPECT_EQ(db.Number("SELECT count(*) FROM counter WHERE type='h' AND key1='r' AND ts=" +
                      std::to_string(hourStart - 24 * 3600)),
            1);
  EXPECT_EQ(db.Number("SELECT count(*) FROM counter WHERE type='h' AND key1='r' AND ts=" +
                      std::to_string(hourStart - 25 * 3600)),
            0);
  EXPECT_EQ(db.Number("SELECT count(*) FROM counter WHERE type='d' AND key1='r'"), 1);
}

TEST_F(CounterStoreTest, QueriesReturnSeriesAndTheTopThreePersons) {
  auto store = nevlora::OpenStatsStore();
  CounterRows rows;
  store->QuerySeries("h", "r", &rows);
  EXPECT_TRUE(rows.empty());

  TimeZone zone("UTC");
  const std::int64_t t0 = 1260172800;
  // Five persons with 5, 4, 3, 2 and 1 tweets over two hours; "carol" has
  // the most in the first hour, but not the most in all.
  const std::pair<const char*, int> tweets[] = {{"ann", 3}, {"bea", 1}, {"carol", 4}, {"dan", 1}, {"eve", 1}};
  store->BeginTransaction();
  for (auto& [name, n] : tweets)
    for (int i = 0; i < n; ++i) store->AddCount(t0 + 10, "r", name);
  store->AddCount(t0 + 3600 + 10, "r", "ann");
  store->AddCount(t0 + 3600 + 10, "r", "ann");
  store->AddCount(t0 + 3600 + 10, "r", "bea");
  store->AddCount(t0 + 3600 + 10, "r", "bea");
  store->AddCount(t0 + 3600 + 10, "r", "dan");
  for (int i = 0; i < 3; ++i) store->AddCount(t0 + 10, "r", "");
  store->AddCount(t0 + 3600 + 10, "r", "");
  store->Commit();

  store->QueryTop("h", "r", &rows);
  std::vector<std::string> got;
  for (const auto& r : rows) got.push_back(r.key2 + "@" + std::to_string(r.ts - t0) + "=" + std::to_string(r.count));
  // ann 5, carol 4, bea 3 (dan 2 and eve 1 are left out), by name and time.
  EXPECT_EQ(got, (std::vector<std::string>{"ann@0=3", "ann@3600=2", "bea@0=1", "bea@3600=2", "carol@0=4"}));
  for (const auto& r : rows) EXPECT_EQ(r.kind + r.key1, "hr");

  rows.clear();
  store->QuerySeries("h", "r", &rows);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].ts, t0);
  EXPECT_EQ(rows[0].count, 3);
  EXPECT_EQ(rows[1].count, 1);
  EXPECT_EQ(rows[0].key2, "");
  rows.clear();
  store->QuerySeries("h", "s", &rows);
  EXPECT_TRUE(rows.empty());
}

}  // namespace

// The polling worker and the user-interface thread record at the same time,
// each with its own store and connection.
#include <thread>

#include "stats/stats_recording.h"
#include "stats/stats_report.h"
#include "stats_test_util.h"

namespace {

using namespace stats_test;

class RecordingThreadsTest : public StatsTest {};

TEST_F(RecordingThreadsTest, ReceivedAndSentCountsAreNeverLost) {
  const auto now = static_cast<std::int64_t>(std::time(nullptr));
  GetAccount();  // loaded once, before the threads share it
  constexpr int kCycles = 20;
  std::thread worker([&] {
    for (int i = 0; i < kCycles; ++i) RecordReceivedTweets({Tweet(now, u"alice"), Tweet(now, u"bob")});
  });
  std::thread ui([&] {
    for (int i = 0; i < kCycles; ++i) {
      RecordSentTweet(u"@carol hello");
      if (i % 5 == 0) {
        // The report reads while the recorders write.
        auto store = nevlora::OpenStatsStore();
        nevlora::CounterRows rows;
        store->QueryTop("h", "r", &rows);
      }
    }
  });
  worker.join();
  ui.join();
  Db db(DatabasePath());
  EXPECT_EQ(db.Number("SELECT count FROM counter WHERE type='h' AND key1='r' AND key2=''"), 2 * kCycles);
  EXPECT_EQ(db.Number("SELECT count FROM counter WHERE type='m' AND key1='r' AND key2='alice'"), kCycles);
  EXPECT_EQ(db.Number("SELECT count FROM counter WHERE type='d' AND key1='s' AND key2='carol'"), kCycles);
}

}  // namespace

// The new-message cycle against the stand-in service and a Maildir host.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "engine/new_message_cycle.h"
#include "engine/twitter_runner.h"
#include "platform/sound.h"
#include "stats/stats_storage.h"
#include "tests/engine/cycle_fixture.h"
#include "tests/support/log_capture.h"

namespace {

using engine_test::CycleTest;
using testing_support::LogCapture;

class NewMessageCycle : public CycleTest {};

CTwitterAccount Reread() {
  CTwitterAccount a;
  a.Load();
  return a;
}

TEST_F(NewMessageCycle, DeliversEachStreamOnceAndMovesTheMarkers) {
  const auto twitter = Folder(u"Twitter");
  {
    auto guard = GetAccount().Lock();
    GetAccount().NewMessageFolderId = twitter.first;
    GetAccount().NewMessageFolderStoreId = twitter.second;
    GetAccount().PerSenderFolders = true;
  }
  nevlora::CTwitterRunner runner;
  CycleReport report;
  CheckNewMessages(runner, true, nullptr, kStreamReplies | kStreamDirect, &report);
  EXPECT_EQ(report.resultCode, ResultOk);
  EXPECT_TRUE(boxes_.empty());
  // Three friends' posts (one mentions wren and also comes as a reply) and a
  // direct message: four items, the mention stored once, in bob's folder.
  EXPECT_EQ(report.fetched, 5);
  EXPECT_EQ(report.delivered, 4);
  EXPECT_EQ(Count({u"Twitter", u"alice"}), 2u);
  EXPECT_EQ(Count({u"Twitter", u"bob"}), 1u);
  EXPECT_EQ(Count({u"Twitter", u"carol"}), 1u);
  EXPECT_EQ(NewTweetFeed::Instance().Size(), 4u);

  // The markers were saved before the items were made.
  const CTwitterAccount saved = Reread();
  EXPECT_EQ(saved.FriendsLastMsgId, u"103");
  EXPECT_EQ(saved.RepliesLastMsgId, u"102");
  EXPECT_EQ(saved.DirectLastMsgId, u"50");
  EXPECT_FALSE(saved.FriendsSince.empty());

  // Nothing new: a second check delivers nothing.
  service_.ClearRequests();
  CycleReport again;
  CheckNewMessages(runner, true, nullptr, kStreamReplies | kStreamDirect, &again);
  EXPECT_EQ(again.delivered, 0);
  EXPECT_EQ(Count({u"Twitter", u"alice"}), 2u);
  const auto requests = service_.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.front().Param("since_id"), "103");

  // A new post arrives with the next check.
  service_.EditData([](standin::SeedData& d) { d.statuses.push_back(engine_test::Post(104, "bob", "later")); });
  CycleReport third;
  CheckNewMessages(runner, true, nullptr, kStreamReplies, &third);
  EXPECT_EQ(third.delivered, 1);
  EXPECT_EQ(Count({u"Twitter", u"bob"}), 2u);
}

TEST_F(NewMessageCycle, SeenTweetsAreSkippedButStillSoundAndCount) {
  const std::string player = profile_.root() + "/player.sh";
  testing_support::WriteFile(player, "#!/bin/sh\necho x >> " + profile_.root() + "/played\n");
  ::chmod(player.c_str(), 0755);
  ::setenv("WRENVIA_SOUND_PLAYER", player.c_str(), 1);
  const std::string sound = profile_.root() + "/new.wav";
  testing_support::WriteFile(sound, "RIFF");
  {
    auto guard = GetAccount().Lock();
    GetAccount().NewMessageSound = Utf8ToUtf16(sound);
  }
  nevlora::CTwitterRunner runner;
  CheckNewMessages(runner, true, nullptr, 0, nullptr);
  EXPECT_EQ(Count(), 3u);
  for (int i = 0; i < 200 && !testing_support::FileExists(profile_.root() + "/played"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));

  // The markers are reset: the same tweets come again and are skipped.
  {
    auto guard = GetAccount().Lock();
    GetAccount().FriendsLastMsgId.clear();
  }
  testing_support::RemoveTree(profile_.root() + "/played");
  LogCapture log("twr");
  CycleReport report;
  // Wait until the first sound ended so the second is not refused as busy.
  for (int i = 0; i < 500 && platform::IsSoundPlaying(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  CheckNewMessages(runner, true, nullptr, 0, &report);
  EXPECT_EQ(report.delivered, 0);
  EXPECT_EQ(Count(), 3u);
  EXPECT_TRUE(log.Contains("cnm: sb. t: first from alice #photo, s: alice")) << log.Text();
  for (int i = 0; i < 200 && !testing_support::FileExists(profile_.root() + "/played"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(testing_support::FileExists(profile_.root() + "/played"));
  ::unsetenv("WRENVIA_SOUND_PLAYER");

  // Both cycles counted all three tweets, skipped ones included.
  auto stats = nevlora::OpenStatsStore();
  nevlora::CounterRows rows;
  stats->QuerySeries("m", "r", &rows);
  int total = 0;
  for (const auto& row : rows) total += row.count;
  EXPECT_EQ(total, 6);
}

TEST_F(NewMessageCycle, AFailedTimelineEndsTheCycleWithNothingSaved) {
  service_.SetFault("/statuses/friends_timeline.json", standin::Fault{.status = 502});
  nevlora::CTwitterRunner runner;
  CycleReport report;
  CheckNewMessages(runner, true, nullptr, kStreamReplies | kStreamDirect, &report);
  EXPECT_EQ(report.resultCode, ResultUnreachable);
  EXPECT_EQ(Count(), 0u);
  EXPECT_EQ(RequestsTo("/statuses/replies.json"), 0u);
  EXPECT_EQ(RequestsTo("/direct_messages.json"), 0u);
  EXPECT_TRUE(Reread().FriendsSince.empty());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].caption, "Nevlora Wrenvia");
  EXPECT_EQ(boxes_[0].text,
            "Unable to reach Twitter servers. Please check your internet connection. This may also be caused by "
            "Twitter servers going down.");
  EXPECT_EQ(boxes_[0].type, MB_ICONERROR);

  // The background cycle never shows a box.
  CheckNewMessages(runner, false, nullptr, 3, nullptr);
  EXPECT_EQ(boxes_.size(), 1u);

  // A wrong password says so.
  service_.ClearFaults();
  GetAccount().SetPassword(u"wrong");
  CheckNewMessages(runner, true, nullptr, 3, nullptr);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].text.rfind("Invalid user name or password.", 0), 0u);
}

TEST_F(NewMessageCycle, WithoutTheFriendsTimelineOtherStreamsStandAlone) {
  {
    auto guard = GetAccount().Lock();
    GetAccount().FetchFriendTimeline = false;
  }
  service_.SetFault("/statuses/replies.json", standin::Fault{.status = 500});
  nevlora::CTwitterRunner runner;
  CycleReport report;
  CheckNewMessages(runner, true, nullptr, kStreamReplies | kStreamDirect, &report);
  EXPECT_TRUE(boxes_.empty());  // the replies failure is not reported
  EXPECT_EQ(report.delivered, 1);  // the direct message
  EXPECT_EQ(Count(), 1u);
}

TEST_F(NewMessageCycle, PollingOffStopsOnlyTheBackgroundCycle) {
  {
    auto guard = GetAccount().Lock();
    GetAccount().PollForNewTweets = false;
  }
  nevlora::CTwitterRunner runner;
  LogCapture log("twr");
  CheckNewMessages(runner, false, nullptr, 3, nullptr);
  EXPECT_TRUE(log.Has("cnm: off")) << log.Text();
  EXPECT_TRUE(service_.Requests().empty());
  CheckNewMessages(runner, true, nullptr, 3, nullptr);
  EXPECT_EQ(Count(), 4u);

  {
    auto guard = GetAccount().Lock();
    GetAccount().User.clear();
  }
  log.Clear();
  CheckNewMessages(runner, true, nullptr, 3, nullptr);
  EXPECT_TRUE(log.Has("cnm: no un"));
}

}  // namespace

namespace {

TEST_F(NewMessageCycle, EachSenderPictureIsFetchedOncePerCycle) {
  // Four tweets from three senders (alice twice, bob, carol's message).
  nevlora::CTwitterRunner runner;
  CheckNewMessages(runner, true, nullptr, kStreamReplies | kStreamDirect, nullptr);
  std::size_t pictures = 0;
  for (const auto& r : service_.Requests())
    if (r.path.rfind("/profile_images/", 0) == 0) ++pictures;
  EXPECT_EQ(pictures, 3u);
}

}  // namespace

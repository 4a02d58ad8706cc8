// The saved-search cycle: destinations, shared seen-keys, saving only after
// results.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/saved_search_cycle.h"
#include "engine/new_message_cycle.h"
#include "engine/twitter_runner.h"
#include "platform/sound.h"
#include "tests/engine/cycle_fixture.h"
#include "tests/support/log_capture.h"

namespace {

using engine_test::CycleTest;

class SavedSearchCycle : public CycleTest {
 protected:
  void AddSearch(const std::u16string& query, const std::u16string& folderId, const std::u16string& storeId) {
    CSearchOpts s;
    s.SearchString = query;
    s.NewMessageFolderId = folderId;
    s.NewMessageFolderStoreId = storeId;
    auto guard = GetAccount().Lock();
    GetAccount().Searches.Append(s);
  }
  std::u16string SavedLastId(std::size_t i) {
    CTwitterAccount a;
    a.Load();
    return i < a.Searches.Count() ? a.Searches.At(i).LastMsgId : u"(none)";
  }
};

TEST_F(SavedSearchCycle, ResultsGoToTheSearchFolderOrTheAccountsAndShareKeysByFolder) {
  const auto cats = Folder(u"Cats");
  const auto dogs = Folder(u"Dogs");
  const auto twitter = Folder(u"Twitter");
  const auto birds = Folder(u"Birds");
  {
    auto guard = GetAccount().Lock();
    GetAccount().NewMessageFolderId = twitter.first;
    GetAccount().NewMessageFolderStoreId = twitter.second;
  }
  // Two searches into one folder find the same three tweets: one item each.
  AddSearch(u"#photo", cats.first, cats.second);
  AddSearch(u"photo", cats.first, cats.second);
  // Another folder: its own items.
  AddSearch(u"#photo", dogs.first, dogs.second);
  // No folder of its own: the account's folder.
  AddSearch(u"carol", u"", u"");
  // A folder id without a store id: items in the account's folder, but
  // seen-keys of its own folder id, so the search above does not hide them.
  AddSearch(u"carol likes", birds.first, u"");

  nevlora::CTwitterRunner runner;
  CycleReport report;
  RunSavedSearches(runner, &report);
  EXPECT_EQ(Count({u"Cats"}), 3u);
  EXPECT_EQ(Count({u"Dogs"}), 3u);
  EXPECT_EQ(Count({u"Twitter"}), 2u);
  EXPECT_EQ(Count({u"Birds"}), 0u);
  EXPECT_EQ(SavedLastId(0), u"201");
  EXPECT_EQ(SavedLastId(3), u"201");

  // A search result is stored again even when the timeline delivered it.
  CheckNewMessages(runner, true, nullptr, 0, nullptr);
  EXPECT_EQ(Count({u"Twitter"}), 2u + 3u);
}

TEST_F(SavedSearchCycle, ASearchWithoutResultsDoesNotRewriteTheSettings) {
  AddSearch(u"#photo", u"", u"");
  GetAccount().Save();
  nevlora::CTwitterRunner runner;
  RunSavedSearches(runner, nullptr);
  EXPECT_EQ(Count(), 3u);  // no folder anywhere: the Inbox
  EXPECT_EQ(SavedLastId(0), u"201");

  // Changed in memory only; a run that finds nothing must not save it.
  {
    auto guard = GetAccount().Lock();
    GetAccount().PollFrequency = 33;
  }
  testing_support::LogCapture log("twr");
  RunSavedSearches(runner, nullptr);
  EXPECT_TRUE(log.Contains("ros: Found 0 new messages.")) << log.Text();
  CTwitterAccount reread;
  reread.Load();
  EXPECT_EQ(reread.PollFrequency, 5);

  // A failing search logs and the next one still runs.
  AddSearch(u"carol", u"", u"");
  service_.SetFault("/search.json", standin::Fault{.status = 404, .times = 1});
  log.Clear();
  RunSavedSearches(runner, nullptr);
  EXPECT_TRUE(log.Contains("ros: Error: -4, Http: 404")) << log.Text();
  {
    auto guard = GetAccount().Lock();
    EXPECT_FALSE(GetAccount().Searches.At(0).SLID);  // 404: ask without since_id next time
  }
}

TEST_F(SavedSearchCycle, NoSearchesDoNothing) {
  nevlora::CTwitterRunner runner;
  CycleReport report;
  RunSavedSearches(runner, &report);
  EXPECT_TRUE(service_.Requests().empty());
  EXPECT_EQ(report.delivered, 0);
}

}  // namespace

namespace {

class SavedSearchSound : public SavedSearchCycle {
 protected:
  void SetUp() override {
    SavedSearchCycle::SetUp();
    player_ = profile_.root() + "/player.sh";
    testing_support::WriteFile(player_, "#!/bin/sh\necho x >> " + profile_.root() + "/played\n");
    ::chmod(player_.c_str(), 0755);
    ::setenv("WRENVIA_SOUND_PLAYER", player_.c_str(), 1);
    const std::string sound = profile_.root() + "/new.wav";
    testing_support::WriteFile(sound, "RIFF");
    auto guard = GetAccount().Lock();
    GetAccount().NewMessageSound = Utf8ToUtf16(sound);
  }
  void TearDown() override {
    ::unsetenv("WRENVIA_SOUND_PLAYER");
    SavedSearchCycle::TearDown();
  }
  int Played() {
    for (int i = 0; i < 300 && platform::IsSoundPlaying(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string text = testing_support::ReadFile(profile_.root() + "/played");
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  }
  std::string player_;
};

TEST_F(SavedSearchSound, OneSoundForAllSearchesAndNoneWithoutResults) {
  AddSearch(u"#photo", u"", u"");
  AddSearch(u"carol", u"", u"");
  nevlora::CTwitterRunner runner;
  RunSavedSearches(runner, nullptr);
  EXPECT_EQ(Played(), 1);
  RunSavedSearches(runner, nullptr);  // nothing new
  EXPECT_EQ(Played(), 1);
  // On the UI thread (this thread handed the application over) the
  // searches fetch no sender pictures.
  for (const auto& r : service_.Requests()) EXPECT_NE(r.path.rfind("/profile_images/", 0), 0u) << r.path;
}

// A runner whose stop is asked while its first search runs.
class StoppingRunner : public nevlora::CTwitterRunner {
 public:
  void StopNow() { RequestStop(); }
};

TEST_F(SavedSearchSound, AStopBetweenSearchesSkipsTheRestAndTheSound) {
  AddSearch(u"#photo", u"", u"");
  AddSearch(u"carol", u"", u"");
  StoppingRunner runner;
  service_.AddRoute("GET", "/search.json", [&runner, this](const standin::Request&) {
    runner.StopNow();
    standin::Reply reply;
    reply.body = R"({"results":[{"id":900,"text":"x","from_user":"carol","created_at":"Wed, 27 Aug 2008 13:08:45 +0000"}],"max_id":900})";
    return reply;
  });
  RunSavedSearches(runner, nullptr);
  EXPECT_EQ(RequestsTo("/search.json"), 1u);
  EXPECT_EQ(Count(), 1u);
  EXPECT_EQ(Played(), 0);
}

TEST_F(SavedSearchCycle, AnEditDuringTheRequestKeepsItsOwnProgress) {
  AddSearch(u"#photo", u"", u"");
  nevlora::CTwitterRunner runner;
  // While the service answers, the user changes the query (which clears
  // its progress): the answer to the old query must not be written into it.
  service_.SetFault("/search.json", standin::Fault{.delay = std::chrono::milliseconds(300)});
  std::thread ui([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto guard = GetAccount().Lock();
    GetAccount().Searches.At(0).SearchString = u"#other";
    GetAccount().Searches.At(0).LastMsgId.clear();
  });
  RunSavedSearches(runner, nullptr);
  ui.join();
  auto guard = GetAccount().Lock();
  EXPECT_EQ(GetAccount().Searches.At(0).SearchString, u"#other");
  EXPECT_EQ(GetAccount().Searches.At(0).LastMsgId, u"");
}

}  // namespace

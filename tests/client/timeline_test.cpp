#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "client/fetch_rules.h"
#include "client/result_message.h"
#include "client/timeline.h"
#include "tests/client/client_test_util.h"

namespace {

using client_test::Answer;

class Timeline : public client_test::StandInTest {
 protected:
  TwitterResult Friends() {
    TwitterResult result;
    TwitterCredentials credentials;
    FetchFriendsTimeline(*account_, credentials, result, list_);
    credentials_ = credentials;
    return result;
  }
  std::vector<std::u16string> Ids() const {
    std::vector<std::u16string> ids;
    for (const auto& s : list_) ids.push_back(s.id);
    return ids;
  }
  static constexpr char kFriends[] = "/statuses/friends_timeline.json";
  TweetList list_;
  TwitterCredentials credentials_;
};

TEST_F(Timeline, FirstRunTakesEverythingAndMovesTheMarkers) {
  const TwitterResult r = Friends();
  EXPECT_EQ(r.code, ResultOk);
  EXPECT_EQ(r.httpStatus, 200);
  EXPECT_EQ(credentials_.user, "wren");
  EXPECT_EQ(credentials_.password, "secret");
  EXPECT_EQ(OnlyRequest().target, "/statuses/friends_timeline.json?count=100");
  EXPECT_EQ(Ids(), (std::vector<std::u16string>{u"502", u"501", u"500"}));
  for (const auto& s : list_) EXPECT_EQ(s.kind, TweetKindFriends);
  EXPECT_EQ(list_[0].user.screenName, u"alice");
  EXPECT_EQ(list_[0].user.profileImageUrl, u"http://" + Utf8ToUtf16(service_.HostPort()) + u"/profile_images/2/a.gif");
  EXPECT_EQ(list_[1].replyToName, u"wren");
  EXPECT_EQ(account_->FriendsLastMsgId, u"502");
  EXPECT_NE(account_->FriendsSince.find(u" GMT"), std::u16string::npos);
  EXPECT_TRUE(account_->RepliesLastMsgId.empty());

  // The next run asks only for what is newer and finds nothing.
  list_.clear();
  service_.ClearRequests();
  EXPECT_EQ(Friends().code, ResultOk);
  EXPECT_EQ(OnlyRequest().target, "/statuses/friends_timeline.json?since_id=502&count=100");
  EXPECT_TRUE(list_.empty());
  EXPECT_EQ(account_->FriendsLastMsgId, u"502");
}

TEST_F(Timeline, OnlyIdsAboveTheMarkerAreKeptInAnswerOrder) {
  account_->FriendsLastMsgId = u"500";
  service_.SetFault(kFriends, Answer(R"([{"id":502,"text":"c"},null,7,{"id":501,"text":"b"},{"id":500,"text":"a"}])"));
  list_.push_back(TwitterStatus{});  // appended to, never replaced
  EXPECT_EQ(Friends().code, ResultOk);
  EXPECT_EQ(Ids(), (std::vector<std::u16string>{u"", u"502", u"501"}));
  EXPECT_EQ(account_->FriendsLastMsgId, u"502");

  // Nothing newer: nothing appended, the marker stays, the date still moves.
  list_.clear();
  account_->FriendsSince = u"old";
  service_.SetFault(kFriends, Answer(R"([{"id":500},{"id":499}])"));
  EXPECT_EQ(Friends().code, ResultOk);
  EXPECT_TRUE(list_.empty());
  EXPECT_EQ(account_->FriendsLastMsgId, u"502");
  EXPECT_NE(account_->FriendsSince, u"old");

  // Ids are compared as 64-bit numbers, not as text.
  account_->FriendsLastMsgId = u"9";
  service_.SetFault(kFriends, Answer(R"([{"id":10},{"id":8}])"));
  EXPECT_EQ(Friends().code, ResultOk);
  EXPECT_EQ(Ids(), (std::vector<std::u16string>{u"10"}));
  EXPECT_EQ(account_->FriendsLastMsgId, u"10");

  // A marker that is no number counts as none.
  list_.clear();
  account_->FriendsLastMsgId = u"junk";
  service_.SetFault(kFriends, Answer(R"([{"id":3},{"id":26755176471724032}])"));
  EXPECT_EQ(Friends().code, ResultOk);
  EXPECT_EQ(list_.size(), 2u);
  EXPECT_EQ(account_->FriendsLastMsgId, u"26755176471724032");
}

// Ids come from the network: one that is no plain 64-bit number must neither
// become the marker (a saturated one would hide every later tweet) nor pass
// the filter as a huge number.
TEST_F(Timeline, IdsThatAreNoPlainNumbersNeverBecomeTheMarker) {
  account_->FriendsLastMsgId = u"500";
  service_.SetFault(kFriends, Answer(R"([{"id":9223372036854775808,"text":"big"},{"id":"99999999999999999999"},)"
                                     R"({"id":"502x"},{"id":"-7"},{"id":501,"text":"b"}])"));
  EXPECT_EQ(Friends().code, ResultOk);
  EXPECT_EQ(Ids(), (std::vector<std::u16string>{u"501"}));
  EXPECT_EQ(account_->FriendsLastMsgId, u"501");

  // The largest id that fits is a marker like any other.
  list_.clear();
  service_.SetFault(kFriends, Answer(R"([{"id":9223372036854775807}])"));
  EXPECT_EQ(Friends().code, ResultOk);
  EXPECT_EQ(list_.size(), 1u);
  EXPECT_EQ(account_->FriendsLastMsgId, u"9223372036854775807");

  // A marker spoilt that way earlier counts as none, so the timeline moves
  // again instead of staying frozen.
  list_.clear();
  account_->FriendsLastMsgId = u"18446744073709551616";
  service_.SetFault(kFriends, Answer(R"([{"id":600},{"id":599}])"));
  EXPECT_EQ(Friends().code, ResultOk);
  EXPECT_EQ(Ids(), (std::vector<std::u16string>{u"600", u"599"}));
  EXPECT_EQ(account_->FriendsLastMsgId, u"600");

  // Only invalid ids on a first run: taken, but no marker.
  list_.clear();
  account_->FriendsLastMsgId.clear();
  service_.SetFault(kFriends, Answer(R"([{"id":"abc"},{"id":1e30}])"));
  EXPECT_EQ(Friends().code, ResultOk);
  EXPECT_EQ(list_.size(), 2u);
  EXPECT_EQ(account_->FriendsLastMsgId, u"");
}

TEST(FetchRules, MessageIdsAndMarkers) {
  EXPECT_EQ(ParseMessageId(u"0"), 0);
  EXPECT_EQ(ParseMessageId(u"0042"), 42);
  EXPECT_EQ(ParseMessageId(u"9223372036854775807"), INT64_MAX);
  for (const char16_t* bad : {u"", u"9223372036854775808", u"99999999999999999999", u"-1", u"+1", u" 1", u"1 ",
                              u"12abc", u"1.5", u"\uFF11"})
    EXPECT_FALSE(ParseMessageId(bad).has_value()) << Utf16ToUtf8(bad);
  EXPECT_EQ(MessageIdOrZero(u"junk"), 0);

  EXPECT_TRUE(IsNewerMarker(u"11", u"10"));
  EXPECT_TRUE(IsNewerMarker(u"1", u""));
  EXPECT_TRUE(IsNewerMarker(u"1", u"{\"a\":1}"));  // a spoilt marker gives way
  EXPECT_FALSE(IsNewerMarker(u"10", u"10"));
  EXPECT_FALSE(IsNewerMarker(u"9", u"10"));
  EXPECT_FALSE(IsNewerMarker(u"0", u""));
  EXPECT_FALSE(IsNewerMarker(u"9223372036854775808", u"10"));
  EXPECT_FALSE(IsNewerMarker(u"{\"a\":1}", u""));
}

TEST_F(Timeline, CountAndPrefixShapeTheRequest) {
  struct Case {
    int setting;
    const char* target;
  } cases[] = {{0, "/1/statuses/friends_timeline.json"},
               {-5, "/1/statuses/friends_timeline.json"},
               {1, "/1/statuses/friends_timeline.json?count=1"},
               {500, "/1/statuses/friends_timeline.json?count=200"}};
  account_->ApiUrlPrefix = u"/1";
  for (const auto& c : cases) {
    service_.ClearRequests();
    account_->RequestMessageCount = c.setting;
    Friends();
    EXPECT_EQ(OnlyRequest().target, c.target);
  }
}

TEST_F(Timeline, StatusBranches) {
  struct Case {
    standin::Fault fault;
    std::int32_t code;
    std::int32_t httpStatus;
    std::u16string errorText;
    const char* logLine;
  } cases[] = {
      {Answer(R"({"error":"nope"})"), ResultServiceError, 200, u"", "gft: twitter returned an error."},
      {Answer("[{\"id\":1"), ResultFailed, 200, u"", "gft: failed to parse twitter response"},
      {Answer("\"text\""), ResultFailed, 200, u"", "gft: unexpected json obj type. top."},
      {Answer("42"), ResultFailed, 200, u"", "gft: unexpected json obj type. top."},
      {Answer(""), ResultOk, 200, u"", "gft: empty response"},
      {{.status = 304}, ResultOk, 304, u"", "gft: empty response"},
      {{.status = 400}, ResultServiceError, 400,
       u"Rate limit exceeded. Clients may not make more than 150 requests per hour.", nullptr},
      {Answer("<html>down</html>", 400), ResultServiceError, 400, u"<html>down</html>", nullptr},
      {{.status = 503}, ResultUnreachable, 503, u"", nullptr},
      {{.status = 403}, ResultUnreachable, 403, u"", nullptr},
      {{.objectForArray = true}, ResultServiceError, 200, u"", "gft: twitter returned an error."},
      {{.malformedJson = true}, ResultFailed, 200, u"", "gft: failed to parse twitter response"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.httpStatus);
    SCOPED_TRACE(c.logLine ? c.logLine : "");
    account_->FriendsLastMsgId = u"1";
    account_->FriendsSince = u"before";
    list_.clear();
    log_.Clear();
    service_.SetFault(kFriends, c.fault);
    TwitterResult r = Friends();
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.httpStatus, c.httpStatus);
    EXPECT_EQ(r.errorText, c.errorText);
    EXPECT_TRUE(list_.empty());
    EXPECT_EQ(account_->FriendsLastMsgId, u"1");
    // The date moves only with a 200 or 304.
    EXPECT_EQ(account_->FriendsSince == u"before", c.httpStatus != 200 && c.httpStatus != 304);
    if (c.logLine) {
      EXPECT_TRUE(log_.HasAt(log4cpp::Priority::ERROR, c.logLine)) << log_.Text();
    }
  }

  // A 200 error object shows the service-error message with nothing after it.
  service_.SetFault(kFriends, Answer(R"({"error":"nope"})"));
  TwitterResult r = Friends();
  EXPECT_EQ(FormatResultMessage(r), u"Twitter server returned an error:\n\n");
}

TEST_F(Timeline, WrongPasswordAndNetworkFailure) {
  account_->SetPassword(u"wrong");
  TwitterResult r = Friends();
  EXPECT_EQ(r.code, ResultBadCredentials);
  EXPECT_EQ(r.httpStatus, 401);
  EXPECT_EQ(r.errorText, u"Could not authenticate you.");

  account_->SetPassword(u"secret");
  account_->FriendsLastMsgId = u"7";
  account_->FriendsSince = u"before";
  service_.Stop();
  TwitterResult down;
  TwitterCredentials credentials;
  FetchFriendsTimeline(*account_, credentials, down, list_);
  EXPECT_EQ(down.code, ResultUnreachable);
  EXPECT_EQ(down.httpStatus, -1);
  EXPECT_EQ(down.errorText, u"");
  EXPECT_EQ(account_->FriendsLastMsgId, u"7");
  EXPECT_EQ(account_->FriendsSince, u"before");
  EXPECT_TRUE(list_.empty());
}

TEST_F(Timeline, RepliesAndDirectMessagesUseTheirOwnPathsMarkersAndKinds) {
  TwitterResult r;
  TwitterCredentials credentials;
  FetchRepliesTimeline(*account_, credentials, r, list_);
  EXPECT_EQ(r.code, ResultOk);
  ASSERT_EQ(list_.size(), 1u);
  EXPECT_EQ(list_[0].id, u"501");
  EXPECT_EQ(list_[0].kind, TweetKindReply);
  EXPECT_EQ(account_->RepliesLastMsgId, u"501");
  EXPECT_FALSE(account_->RepliesSince.empty());

  list_.clear();
  FetchDirectTimeline(*account_, credentials, r, list_);
  EXPECT_EQ(r.code, ResultOk);
  ASSERT_EQ(list_.size(), 2u);
  EXPECT_EQ(list_[0].id, u"72");
  EXPECT_EQ(list_[0].kind, TweetKindDirect);
  EXPECT_EQ(list_[0].user.screenName, u"bob");  // from "sender"
  EXPECT_EQ(list_[0].recipientScreenName, u"wren");
  EXPECT_EQ(account_->DirectLastMsgId, u"72");
  EXPECT_FALSE(account_->DirectSince.empty());
  EXPECT_TRUE(account_->FriendsLastMsgId.empty());

  const auto requests = service_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, "/statuses/replies.json?count=100");
  EXPECT_EQ(requests[1].target, "/direct_messages.json?count=100");
}

TEST_F(Timeline, PostedStatusesShowUpInTheNextFetch) {
  HttpResponse posted;
  SendTwitterRequest({"wren", "secret"}, service_.HostPort(), "/statuses/update.json", "status=%40alice%20hello", posted);
  ASSERT_EQ(posted.status, 200);
  account_->FriendsLastMsgId = u"502";
  EXPECT_EQ(Friends().code, ResultOk);
  ASSERT_EQ(list_.size(), 1u);
  EXPECT_EQ(list_[0].text, u"@alice hello");
  EXPECT_EQ(list_[0].user.screenName, u"wren");
}

// The worker fetches while the UI thread edits the account: the account's
// lock is taken around every field access, never across the request.
TEST_F(Timeline, ThreadsFetchWhileTheAccountIsEdited) {
  std::atomic<bool> done{false};
  std::thread ui([&] {
    int i = 0;
    while (!done) {
      auto guard = account_->Lock();
      account_->PollFrequency = ++i % 60;
      account_->RequestMessageCount = 100 + i % 5;
    }
  });
  for (int i = 0; i < 5; ++i) {
    TwitterResult r;
    TwitterCredentials credentials;
    TweetList list;
    FetchFriendsTimeline(*account_, credentials, r, list);
    EXPECT_EQ(r.code, ResultOk);
  }
  done = true;
  ui.join();
  EXPECT_EQ(account_->FriendsLastMsgId, u"502");
}

}  // namespace

#include <gtest/gtest.h>

#include "client/search.h"
#include "tests/client/client_test_util.h"

namespace {

using client_test::Answer;

class Search : public client_test::StandInTest {
 protected:
  TwitterResult Run(const TwitterCredentials& credentials = {}) {
    TwitterResult result;
    SearchTweets(search_, result, credentials, list_, *account_);
    return result;
  }
  std::string Target() {
    const auto requests = service_.Requests();
    return requests.empty() ? std::string() : requests.back().target;
  }
  CSearchOpts search_;
  TweetList list_;
};

TEST_F(Search, AnEmptyQuerySendsNothing) {
  search_.LastMsgId = u"5";
  search_.SLID = false;
  const TwitterResult r = Run();
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.httpStatus, 0);
  EXPECT_TRUE(service_.Requests().empty());
  EXPECT_FALSE(search_.SLID);
  EXPECT_EQ(search_.LastMsgId, u"5");
}

TEST_F(Search, FirstRunTakesAllResultsAndTheAnswersMaxId) {
  search_.SearchString = u"coffee";
  const TwitterResult r = Run();
  EXPECT_EQ(r.code, ResultOk);
  EXPECT_EQ(r.httpStatus, 200);
  const standin::Request sent = OnlyRequest();
  EXPECT_EQ(sent.target, "/search.json?q=coffee&rpp=100&lang=en");
  EXPECT_EQ(sent.Header("Host"), "search.twitter.com");
  EXPECT_EQ(sent.HeaderCount("Authorization"), 0u);
  ASSERT_EQ(list_.size(), 3u);  // 901, 900, 502; the "es" hit is filtered by lang
  EXPECT_EQ(list_[0].id, u"901");
  EXPECT_EQ(list_[0].kind, TweetKindSearch);
  EXPECT_EQ(list_[0].user.screenName, u"bob");
  EXPECT_EQ(list_[0].user.name, u"bob");
  EXPECT_EQ(list_[0].createdUtc.wYear, 2009);
  EXPECT_EQ(search_.LastMsgId, u"901");
  EXPECT_TRUE(search_.SLID);

  // The next run sends since_id first and finds nothing new.
  list_.clear();
  Run();
  EXPECT_EQ(Target(), "/search.json?since_id=901&q=coffee&rpp=100&lang=en");
  EXPECT_TRUE(list_.empty());
  EXPECT_EQ(search_.LastMsgId, u"901");
}

TEST_F(Search, QueryEscapingAndTheNumberOfResults) {
  search_.SearchString = u"a b#c é";
  account_->RequestMessageCount = 150;
  Run();
  EXPECT_EQ(Target(), "/search.json?q=a%20b%23c%20%c3%a9&rpp=100&lang=en");
  account_->RequestMessageCount = 0;
  Run();
  EXPECT_EQ(Target(), "/search.json?q=a%20b%23c%20%c3%a9&lang=en");
  account_->RequestMessageCount = 7;
  Run();
  EXPECT_EQ(Target(), "/search.json?q=a%20b%23c%20%c3%a9&rpp=7&lang=en");
}

TEST_F(Search, RefusedSearchesAskAgainWithoutSinceIdButStillFilter) {
  search_.SearchString = u"coffee";
  search_.LastMsgId = u"900";
  for (int status : {403, 404}) {
    service_.SetFault("/search.json", {.status = status, .times = 1});
    TwitterResult r = Run();
    EXPECT_EQ(r.code, ResultUnreachable);
    EXPECT_EQ(r.httpStatus, status);
    EXPECT_FALSE(r.errorText.empty());
    EXPECT_FALSE(search_.SLID);
    EXPECT_EQ(search_.LastMsgId, u"900");

    // Asked without since_id; what is not newer is still dropped.
    r = Run();
    EXPECT_EQ(Target(), "/search.json?q=coffee&rpp=100&lang=en");
    EXPECT_EQ(r.code, ResultOk);
    EXPECT_TRUE(search_.SLID);
    ASSERT_EQ(list_.size(), 1u);
    EXPECT_EQ(list_[0].id, u"901");
    EXPECT_EQ(search_.LastMsgId, u"901");
    list_.clear();
    search_.LastMsgId = u"900";
  }
}

TEST_F(Search, StatusBranchesAndAnswerShapes) {
  search_.SearchString = u"coffee";
  struct Case {
    standin::Fault fault;
    std::int32_t code;
    const char* logLine;
  } cases[] = {
      {{.status = 401}, ResultBadCredentials, nullptr},
      {{.status = 400}, ResultServiceError, nullptr},
      {{.status = 500}, ResultUnreachable, nullptr},
      {{.status = 304}, ResultOk, "sch empty response"},
      {Answer(""), ResultOk, "sch empty response"},
      {Answer("{"), ResultFailed, "sch: failed to parse twitter response"},
      {Answer("[]"), ResultFailed, "sch: search result - unexpected json obj type. top."},
      {Answer(R"({"max_id":5})"), ResultOk, "sch: no results"},
      {Answer(R"({"results":null,"max_id":5})"), ResultFailed, "sch: unespected json obj type. top."},
      {{.objectForArray = true}, ResultFailed, "sch: unespected json obj type. top."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logLine ? c.logLine : "status");
    log_.Clear();
    search_.LastMsgId = u"1";
    search_.SLID = false;
    service_.SetFault("/search.json", c.fault);
    const TwitterResult r = Run();
    EXPECT_EQ(r.code, c.code);
    EXPECT_TRUE(search_.SLID);
    EXPECT_EQ(search_.LastMsgId, u"1");
    EXPECT_TRUE(list_.empty());
    if (c.logLine) {
      EXPECT_TRUE(log_.HasAt(log4cpp::Priority::ERROR, c.logLine)) << log_.Text();
    }
  }
  service_.SetFault("/search.json", {.status = 401});
  EXPECT_EQ(Run().errorText, u"Could not authenticate you.");
}

TEST_F(Search, TheMarkerMovesOnlyWithSomethingAppendedAndAMaxId) {
  search_.SearchString = u"x";
  search_.LastMsgId = u"10";
  service_.SetFault("/search.json", Answer(R"({"results":[{"id":11,"text":"new"},null,3,{"id":9}]})"));
  EXPECT_EQ(Run().code, ResultOk);
  ASSERT_EQ(list_.size(), 1u);
  EXPECT_EQ(search_.LastMsgId, u"10");  // no max_id in the answer

  list_.clear();
  service_.SetFault("/search.json", Answer(R"({"results":[{"id":9}],"max_id":99})"));
  EXPECT_EQ(Run().code, ResultOk);
  EXPECT_TRUE(list_.empty());
  EXPECT_EQ(search_.LastMsgId, u"10");  // nothing appended

  service_.SetFault("/search.json", Answer(R"({"results":[{"id":12}],"max_id":14})"));
  Run();
  EXPECT_EQ(search_.LastMsgId, u"14");
}

// "max_id" and the results' ids come from the network: only a plain number
// above the current marker moves it, whatever the answer holds.
TEST_F(Search, OnlyAPlainLargerMaxIdMovesTheMarker) {
  search_.SearchString = u"x";
  for (const char* maxId : {R"({"a":1})", "[14]", "true", "1.5e3", "-20", "5", "10", "9223372036854775808",
                            R"("12abc")", R"("")", R"(" 12")"}) {
    SCOPED_TRACE(maxId);
    search_.LastMsgId = u"10";
    list_.clear();
    service_.SetFault("/search.json", Answer(std::string(R"({"results":[{"id":12}],"max_id":)") + maxId + "}"));
    EXPECT_EQ(Run().code, ResultOk);
    EXPECT_EQ(list_.size(), 1u);
    EXPECT_EQ(search_.LastMsgId, u"10");
  }

  // A digit string counts like a number.
  service_.SetFault("/search.json", Answer(R"({"results":[{"id":12}],"max_id":"13"})"));
  Run();
  EXPECT_EQ(search_.LastMsgId, u"13");

  // A result id too large for 64 bits is no newer result.
  list_.clear();
  service_.SetFault("/search.json",
                    Answer(R"({"results":[{"id":"99999999999999999999"},{"id":9223372036854775808}],"max_id":20})"));
  Run();
  EXPECT_TRUE(list_.empty());
  EXPECT_EQ(search_.LastMsgId, u"13");

  // A marker spoilt earlier counts as none and is replaced.
  search_.LastMsgId = u"{ \"a\": 1 }";
  service_.SetFault("/search.json", Answer(R"({"results":[{"id":3},{"id":2}],"max_id":3})"));
  Run();
  EXPECT_EQ(list_.size(), 2u);
  EXPECT_EQ(search_.LastMsgId, u"3");
}

TEST_F(Search, ANetworkFailureAsksWithSinceIdAgainAndKeepsTheMarker) {
  search_.SearchString = u"coffee";
  search_.LastMsgId = u"7";
  search_.SLID = false;
  service_.Stop();
  const TwitterResult r = Run();
  EXPECT_EQ(r.code, ResultUnreachable);
  EXPECT_EQ(r.httpStatus, -1);
  EXPECT_EQ(r.errorText, u"");
  EXPECT_TRUE(search_.SLID);
  EXPECT_EQ(search_.LastMsgId, u"7");
  EXPECT_TRUE(list_.empty());
  EXPECT_TRUE(log_.ContainsAt(log4cpp::Priority::ERROR, "hr: hsra failed. le ")) << log_.Text();
}

}  // namespace

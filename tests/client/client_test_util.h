// A stand-in service with a small seed of the test's own, an account that
// points at it, and log capture: what the request-level client tests share.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "client/http_request.h"
#include "platform/text.h"
#include "settings/account.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_profile.h"
#include "tools/standin/standin.h"

namespace client_test {

inline standin::SeedData SmallSeed() {
  standin::SeedData d;
  d.accountUser = "wren";
  d.accountPassword = "secret";
  d.users = {{1, "wren", "Wren Owner", "Here", "me", "", "/profile_images/1/wren.png", 1, 2, 3, false, 1200000000},
             {2, "alice", "Alice A.", "Berlin", "hi &amp; bye", "http://alice.example", "/profile_images/2/a.gif", 10,
              20, 30, false, 1200000000},
             {3, "bob", "Bob B.", "", "", "", "/profile_images/3/b.jpg", 0, 0, 0, false, 1200000000}};
  d.statuses = {{500, "alice", "old news", "web", 1243857600, 0, "en"},
                {501, "bob", "@wren hi there http://example.com/x.", "web", 1243857660, 0, "en"},
                {502, "alice", "#coffee time &lt;3", "web", 1243857720, 0, "en"}};
  d.directs = {{70, "alice", "wren", "psst", 1243857600}, {71, "wren", "alice", "back", 1243857700},
               {72, "bob", "wren", "d-day", 1243857800}};
  d.searchHits = {{900, "alice", "coffee with friends", "<a href=\"x\">X</a>", 1243858000, 0, "en"},
                  {901, "bob", "more coffee", "web", 1243858100, 0, "en"},
                  {902, "alice", "café coffee", "web", 1243858200, 0, "es"}};
  return d;
}

// A JSON answer the test writes itself, sent for one path as a 200.
inline standin::Fault Answer(const std::string& json, int status = 200) {
  standin::Fault f;
  f.status = status;
  f.body = json;
  f.contentType = "application/json";
  return f;
}

class StandInTest : public ::testing::Test {
 protected:
  explicit StandInTest(standin::Options options = {}) : service_(SmallSeed(), options) {}

  void SetUp() override {
    // curl takes proxies from the environment; the stand-in is reached directly.
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
      ::unsetenv(name);
    ASSERT_TRUE(service_.Start());
    account_ = std::make_unique<CTwitterAccount>();
    account_->User = u"wren";
    account_->SetPassword(u"secret");
    account_->ApiHost = Utf8ToUtf16(service_.HostPort());
    ::setenv("WRENVIA_CONNECT_TO", ("search.twitter.com:80:" + service_.HostPort()).c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("WRENVIA_CONNECT_TO");
    SetRequestTimeoutsForTests(0, 0);
    service_.Stop();
  }

  // The one request the client sent.
  standin::Request OnlyRequest() {
    const auto requests = service_.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? standin::Request{} : requests.back();
  }

  testing_support::TempProfile profile_;
  standin::StandIn service_;
  std::unique_ptr<CTwitterAccount> account_;
  testing_support::LogCapture log_{"tap"};
};

}  // namespace client_test

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "client/base64.h"
#include "client/http_request.h"
#include "platform/http.h"
#include "tests/client/client_test_util.h"

namespace {

using client_test::StandInTest;

class HttpRequest : public StandInTest {
 protected:
  HttpResponse Get(const std::string& path, const TwitterCredentials& credentials = {"wren", "secret"}) {
    HttpResponse response;
    SendTwitterRequest(credentials, service_.HostPort(), path, {}, response);
    return response;
  }
};

TEST_F(HttpRequest, GetSendsOneAuthorizationHeaderTheAgentAndNoContentType) {
  const HttpResponse r = Get("/account/verify_credentials.json");
  EXPECT_EQ(r.status, 200);
  EXPECT_NE(r.body.find("\"screen_name\":\"wren\""), std::string::npos);
  EXPECT_FALSE(r.date.empty());
  EXPECT_LE(r.date.size(), 63u);

  const standin::Request sent = OnlyRequest();
  EXPECT_EQ(sent.method, "GET");
  EXPECT_EQ(sent.HeaderCount("Authorization"), 1u);
  EXPECT_EQ(sent.Header("Authorization"), "Basic d3JlbjpzZWNyZXQ=");
  EXPECT_EQ(sent.HeaderCount("Content-Type"), 0u);
  EXPECT_EQ(sent.Header("User-Agent"), platform::kAgentString);
  EXPECT_EQ(sent.Header("Accept"), "*/*");
  EXPECT_EQ(sent.Header("Host"), service_.HostPort());

  EXPECT_TRUE(log_.Has("fetching: /account/verify_credentials.json wren 6")) << log_.Text();
  EXPECT_TRUE(log_.Has("hr: http status: 200"));
  EXPECT_TRUE(log_.Contains("hr: 200 wren 6 resp headers:\nHTTP/1.1 200 OK\r\n"));
  EXPECT_TRUE(log_.Contains("hr: response: " + std::to_string(r.body.size()) + "  {\"id\":1,"));
  EXPECT_FALSE(log_.Contains("secret"));
}

TEST_F(HttpRequest, AnEmptyUserSendsNoAuthorization) {
  const HttpResponse r = Get("/account/verify_credentials.json", {});
  EXPECT_EQ(r.status, 401);
  EXPECT_EQ(r.body, R"({"error":"Could not authenticate you.","request":"\/account\/verify_credentials.json"})");
  EXPECT_EQ(OnlyRequest().HeaderCount("Authorization"), 0u);
  EXPECT_TRUE(log_.Contains("hr: 401  0 resp headers:\nHTTP/1.1 401 Unauthorized")) << log_.Text();
}

TEST_F(HttpRequest, NonAsciiCredentialsAreBase64OfTheirUtf8) {
  Get("/account/verify_credentials.json", {"j\xC3\xB6rg", "p\xC3\xA4ss word:x"});
  EXPECT_EQ(OnlyRequest().Header("Authorization"), "Basic " + Base64Encode("j\xC3\xB6rg:p\xC3\xA4ss word:x"));
  // The length of the password in bytes is logged, never the password.
  EXPECT_TRUE(log_.Has("fetching: /account/verify_credentials.json j\xC3\xB6rg 12")) << log_.Text();
  EXPECT_FALSE(log_.Contains("word:x"));
}

TEST_F(HttpRequest, PostSendsTheFormWithItsContentTypeOnce) {
  HttpResponse r;
  SendTwitterRequest({"wren", "secret"}, service_.HostPort(), "/statuses/update.json", "status=hi%20there&source=W", r);
  EXPECT_EQ(r.status, 200);
  const standin::Request sent = OnlyRequest();
  EXPECT_EQ(sent.method, "POST");
  EXPECT_EQ(sent.body, "status=hi%20there&source=W");
  EXPECT_EQ(sent.HeaderCount("Content-Type"), 1u);
  EXPECT_EQ(sent.Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(sent.HeaderCount("Authorization"), 1u);
  EXPECT_EQ(sent.HeaderCount("Expect"), 0u);
  EXPECT_EQ(sent.Param("status"), "hi there");
}

TEST_F(HttpRequest, ASlowServerGivesMinusOneAndTheSendStep) {
  SetRequestTimeoutsForTests(2000, 300);
  service_.SetFault("/statuses/replies.json", {.delay = std::chrono::seconds(20)});
  const auto start = std::chrono::steady_clock::now();
  const HttpResponse r = Get("/statuses/replies.json");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(r.status, -1);
  EXPECT_TRUE(r.body.empty());
  EXPECT_TRUE(log_.Has("hr: hsra failed. le 12002 2ee2")) << log_.Text();
  EXPECT_FALSE(log_.Contains("hr: http status"));
}

TEST_F(HttpRequest, AnAnswerWithoutDateKeepsItsStatusAndNoBody) {
  service_.SetFault("/statuses/replies.json", {.noDate = true});
  const HttpResponse r = Get("/statuses/replies.json");
  EXPECT_EQ(r.status, 200);
  EXPECT_TRUE(r.body.empty());
  EXPECT_TRUE(r.date.empty());
  EXPECT_TRUE(log_.Has("hr: hqia failed. le 12150 2f76")) << log_.Text();
  EXPECT_FALSE(log_.Contains("hr: response:"));
}

TEST_F(HttpRequest, AnOversizedBodyIsAFailedReadWithTheStatusKept) {
  service_.SetFault("/statuses/replies.json", {.oversizedBytes = (16u << 20) + 1});
  const HttpResponse r = Get("/statuses/replies.json");
  EXPECT_EQ(r.status, 200);
  EXPECT_TRUE(r.body.empty());
  EXPECT_FALSE(r.date.empty());
  EXPECT_TRUE(log_.Contains("hr: irf failed. le ")) << log_.Text();

  // Exactly the cap still arrives whole.
  service_.SetFault("/statuses/replies.json", {.oversizedBytes = 16u << 20});
  EXPECT_EQ(Get("/statuses/replies.json").body.size(), 16u << 20);
}

TEST_F(HttpRequest, DroppedConnectionsFailAtTheStepTheyHappen) {
  service_.SetFault("/statuses/replies.json", {.dropBeforeStatus = true, .times = 1});
  HttpResponse r = Get("/statuses/replies.json");
  EXPECT_EQ(r.status, -1);
  EXPECT_TRUE(log_.Contains("hr: hsra failed. le ")) << log_.Text();

  log_.Clear();
  service_.SetFault("/statuses/replies.json", {.dropMidBody = true, .times = 1});
  r = Get("/statuses/replies.json");
  EXPECT_EQ(r.status, 200);
  EXPECT_TRUE(r.body.empty());
  EXPECT_TRUE(log_.Contains("hr: irf failed. le ")) << log_.Text();

  // The faults were for one answer each.
  EXPECT_EQ(Get("/statuses/replies.json").status, 200);
}

TEST_F(HttpRequest, UnusableOrUnreachableHostsGiveMinusOne) {
  HttpResponse r;
  SendTwitterRequest({"wren", "secret"}, "bad host/x?", "/statuses/replies.json", {}, r);
  EXPECT_EQ(r.status, -1);
  EXPECT_TRUE(log_.Has("hr: ica failed. le 12007 2ee7")) << log_.Text();

  const std::string closed = "127.0.0.1:" + std::to_string(service_.Port());
  service_.Stop();
  log_.Clear();
  SendTwitterRequest({"wren", "secret"}, closed, "/statuses/replies.json", {}, r);
  EXPECT_EQ(r.status, -1);
  EXPECT_TRUE(log_.Has("hr: hsra failed. le 12029 2efd")) << log_.Text();
}

TEST_F(HttpRequest, ErrorStatusesComeBackWithTheirBodies) {
  service_.SetFault("/statuses/replies.json", client_test::Answer("<html>busy</html>", 503));
  const HttpResponse r = Get("/statuses/replies.json");
  EXPECT_EQ(r.status, 503);
  EXPECT_EQ(r.body, "<html>busy</html>");
  EXPECT_TRUE(log_.Contains("hr: 503 wren 6 resp headers:\nHTTP/1.1 503 Service Unavailable"));
}

TEST_F(HttpRequest, FixedHostsReachALocalServiceThroughTheConnectToMap) {
  HttpResponse r;
  SendTwitterRequest({}, "search.twitter.com", "/search.json?q=coffee", {}, r);
  EXPECT_EQ(r.status, 200);
  const standin::Request sent = OnlyRequest();
  EXPECT_EQ(sent.Header("Host"), "search.twitter.com");
  EXPECT_EQ(sent.HeaderCount("Authorization"), 0u);
}

TEST_F(HttpRequest, TheDefaultHostIsSecure) {
  // The default host speaks https on 443: sent to a plain http service, the
  // handshake fails rather than the password going out in clear.
  ::setenv("WRENVIA_CONNECT_TO", ("api.twitter.com:443:" + service_.HostPort()).c_str(), 1);
  SetRequestTimeoutsForTests(3000, 3000);
  HttpResponse r;
  SendTwitterRequest({"wren", "secret"}, "", "/account/verify_credentials.json", {}, r);
  EXPECT_EQ(r.status, -1);
  EXPECT_TRUE(log_.Contains("hr: hsra failed. le ")) << log_.Text();
  for (const auto& request : service_.Requests()) EXPECT_EQ(request.HeaderCount("Authorization"), 0u);
}

TEST(SplitHostPort, NamesPortsAndRefusals) {
  std::string name;
  int port = 80;
  ASSERT_TRUE(SplitHostPort("example.com", &name, &port));
  EXPECT_EQ(name, "example.com");
  EXPECT_EQ(port, 80);
  ASSERT_TRUE(SplitHostPort("127.0.0.1:8080", &name, &port));
  EXPECT_EQ(name, "127.0.0.1");
  EXPECT_EQ(port, 8080);
  port = 80;
  ASSERT_TRUE(SplitHostPort("[::1]:65535", &name, &port));
  EXPECT_EQ(name, "[::1]");
  EXPECT_EQ(port, 65535);
  for (const char* bad : {"", ":80", "host:", "host:0", "host:65536", "host:8o", "a b", "a/b", "user@host", "[::1",
                          "[zz]:80", "host:80:81"})
    EXPECT_FALSE(SplitHostPort(bad, &name, &port)) << bad;
}

}  // namespace

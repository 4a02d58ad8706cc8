#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "client/base64.h"
#include "client/http_request.h"
#include "platform/http.h"
#include "tests/client/client_test_util.h"

namespace {

using client_test::StandInTest;
using log4cpp::Priority;

// A server that answers every connection with fixed bytes, for answers no
// well-behaved HTTP server sends: it reads the request head, writes `reply`,
// then closes the connection or (stall) holds it open until destroyed.
class RawServer {
 public:
  RawServer(std::string reply, bool stall) : reply_(std::move(reply)), stall_(stall) {
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listen_, 4) != 0 ||
        getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~RawServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listen_ >= 0) close(listen_);
  }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
  int Port() const { return port_; }

 private:
  bool Wait(int fd) {
    pollfd p{fd, POLLIN, 0};
    while (!stop_)
      if (poll(&p, 1, 20) > 0) return true;
    return false;
  }
  void Serve() {
    while (Wait(listen_)) {
      const int fd = accept(listen_, nullptr, nullptr);
      if (fd < 0) continue;
      std::string request;
      char buffer[4096];
      while (request.find("\r\n\r\n") == std::string::npos && Wait(fd)) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
      }
      for (std::size_t sent = 0; sent < reply_.size();) {
        const ssize_t n = send(fd, reply_.data() + sent, reply_.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
      }
      while (stall_ && !stop_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      close(fd);
    }
  }

  std::string reply_;
  bool stall_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

std::string HeaderLines(std::size_t bytes) {
  std::string lines;
  for (int i = 0; lines.size() < bytes; ++i)
    lines += "X-Pad-" + std::to_string(i) + ": " + std::string(1000, 'p') + "\r\n";
  return lines;
}

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
  EXPECT_TRUE(log_.ContainsAt(Priority::DEBUG, "hr: 200 wren 6 resp headers:\nHTTP/1.1 200 OK\r\n"));
  EXPECT_FALSE(log_.ContainsAt(Priority::ERROR, "resp headers:"));
  EXPECT_TRUE(log_.Contains("hr: response: " + std::to_string(r.body.size()) + "  {\"id\":1,"));
  EXPECT_FALSE(log_.Contains("secret"));
  // Nor the password in the form it goes out in.
  EXPECT_FALSE(log_.Contains("d3JlbjpzZWNyZXQ"));
}

TEST_F(HttpRequest, ARefusedPasswordIsLoggedAtErrorLevelAndNeverShown) {
  const HttpResponse r = Get("/account/verify_credentials.json", {"wren", "hunter2"});
  EXPECT_EQ(r.status, 401);
  EXPECT_TRUE(log_.ContainsAt(Priority::ERROR, "hr: 401 wren 7 resp headers:\nHTTP/1.1 401 Unauthorized\r\n"))
      << log_.Text();
  EXPECT_FALSE(log_.ContainsAt(Priority::DEBUG, "resp headers:"));
  EXPECT_FALSE(log_.Contains("hunter2"));
  const std::string encoded = Base64Encode("wren:hunter2");
  EXPECT_FALSE(log_.Contains(encoded.substr(0, encoded.find('=')))) << log_.Text();
}

TEST_F(HttpRequest, AnEmptyUserSendsNoAuthorization) {
  const HttpResponse r = Get("/account/verify_credentials.json", {});
  EXPECT_EQ(r.status, 401);
  EXPECT_EQ(r.body, R"({"error":"Could not authenticate you.","request":"\/account\/verify_credentials.json"})");
  EXPECT_EQ(OnlyRequest().HeaderCount("Authorization"), 0u);
  EXPECT_TRUE(log_.ContainsAt(Priority::ERROR, "hr: 401  0 resp headers:\nHTTP/1.1 401 Unauthorized")) << log_.Text();
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
  EXPECT_TRUE(log_.ContainsAt(Priority::ERROR, "hr: 503 wren 6 resp headers:\nHTTP/1.1 503 Service Unavailable"));
}

// WinINet's send succeeds only once the whole head of a final answer came: a
// status line alone, or an interim 100, is no answer.
TEST_F(HttpRequest, AHeadThatNeverEndsIsNoAnswer) {
  SetRequestTimeoutsForTests(2000, 300);
  const std::string half = "HTTP/1.1 200 OK\r\nDate: Mon, 01 Jun 2009 12:00:00 GMT\r\nContent-Type: text/plain\r\n";
  struct Case {
    const char* name;
    std::string reply;
    bool stall;
  } cases[] = {
      {"cut off", half, false},
      {"stalled", half, true},
      {"interim only", "HTTP/1.1 100 Continue\r\n\r\n", false},
      {"interim, then cut off", "HTTP/1.1 100 Continue\r\n\r\n" + half, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log_.Clear();
    RawServer server(c.reply, c.stall);
    ASSERT_GT(server.Port(), 0);
    HttpResponse r;
    SendTwitterRequest({"wren", "secret"}, server.HostPort(), "/statuses/replies.json", {}, r);
    EXPECT_EQ(r.status, -1);
    EXPECT_TRUE(r.date.empty());
    EXPECT_TRUE(r.body.empty());
    EXPECT_TRUE(log_.ContainsAt(Priority::ERROR, "hr: hsra failed. le ")) << log_.Text();
    EXPECT_FALSE(log_.Contains("hr: http status")) << log_.Text();
    EXPECT_FALSE(log_.Contains("resp headers")) << log_.Text();
  }

  // The same head completed is an answer, after an interim 100 too.
  log_.Clear();
  RawServer whole("HTTP/1.1 100 Continue\r\n\r\n" + half + "Content-Length: 2\r\n\r\nok", false);
  HttpResponse r;
  SendTwitterRequest({"wren", "secret"}, whole.HostPort(), "/statuses/replies.json", {}, r);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "ok");
  EXPECT_EQ(r.date, "Mon, 01 Jun 2009 12:00:00 GMT");
  EXPECT_TRUE(log_.ContainsAt(Priority::DEBUG, "resp headers:\nHTTP/1.1 200 OK\r\n")) << log_.Text();
}

TEST_F(HttpRequest, AHeadOver64KiBIsNoAnswer) {
  const std::string tail = "Date: Mon, 01 Jun 2009 12:00:00 GMT\r\nContent-Length: 2\r\n\r\nok";
  {
    RawServer server("HTTP/1.1 200 OK\r\n" + HeaderLines(66u << 10) + tail, false);
    HttpResponse r;
    SendTwitterRequest({"wren", "secret"}, server.HostPort(), "/statuses/replies.json", {}, r);
    EXPECT_EQ(r.status, -1);
    EXPECT_TRUE(r.body.empty());
    EXPECT_TRUE(log_.Has("hr: hsra failed. le 12152 2f78")) << log_.Text();
  }
  {
    // Endless interim answers add up the same way.
    std::string interims;
    while (interims.size() <= (64u << 10)) interims += "HTTP/1.1 100 Continue\r\n" + HeaderLines(900) + "\r\n";
    RawServer server(interims + "HTTP/1.1 200 OK\r\n" + tail, false);
    HttpResponse r;
    SendTwitterRequest({"wren", "secret"}, server.HostPort(), "/statuses/replies.json", {}, r);
    EXPECT_EQ(r.status, -1);
  }
  {
    // A large head under the limit is still read.
    RawServer server("HTTP/1.1 200 OK\r\n" + HeaderLines(60u << 10) + tail, false);
    HttpResponse r;
    SendTwitterRequest({"wren", "secret"}, server.HostPort(), "/statuses/replies.json", {}, r);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "ok");
  }
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

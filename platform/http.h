// One HTTP exchange the way the add-in uses WinINet: a fresh handle per
// request, the agent string, connect and receive-inactivity timeouts, proxies
// from the environment, certificate checks for secure requests, and the
// response's status line, raw headers, Date header and body.
//
// Requests to fixed hosts can be sent to a local service for tests, demos and
// benchmarks through WRENVIA_CONNECT_TO: "HOST:PORT:CONNECT-HOST:CONNECT-PORT"
// entries separated by commas (curl's CONNECT_TO form). The Host header and the
// request itself stay as they would be.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform {

// The WinINet step a failed exchange stopped at.
enum class HttpStep {
  None,         // no failure
  Open,         // the internet handle (InternetOpen)
  Connect,      // the connection handle: a host or port that cannot be used
  OpenRequest,  // the request handle: a path or verb that cannot be used
  Send,         // sending and waiting for the response's head (HttpSendRequest)
  ReadBody,     // reading the body (InternetReadFile)
};

struct HttpRequest {
  std::string verb = "GET";  // "GET" or "POST"
  bool secure = false;       // https with certificate checks
  std::string host;
  int port = 80;
  std::string path = "/";    // object path with any query
  std::vector<std::string> headers;  // extra "Name: value" lines, sent as given
  std::string body;          // sent for POST
  std::string agent;
  long connectTimeoutMs = 60000;
  long receiveTimeoutMs = 60000;  // longest wait with no data arriving
  std::size_t maxBodyBytes = 16u << 20;
  bool followRedirects = true;
};

struct HttpResult {
  int status = -1;          // -1 until the whole head of a final (non-1xx) answer came
  std::string rawHeaders;   // the final response's header block, CRLF-separated, with the status line;
                            // a head over 64 KiB is a failed send
  bool hasDate = false;
  std::string date;         // value of the Date header
  std::string body;
  HttpStep failedStep = HttpStep::None;
  DWORD lastError = 0;      // a WinINet-style error number for the log
  bool timedOut = false;
  bool bodyTooLarge = false;
};

HttpResult HttpSend(const HttpRequest& request);

// Fetch by full address (InternetOpenUrl): http or https, certificates
// checked for https.
HttpResult HttpGetUrl(const std::string& url, const std::string& agent, long connectTimeoutMs = 60000,
                      long receiveTimeoutMs = 60000, std::size_t maxBodyBytes = 16u << 20);

// The agent string every request of the add-in sends.
extern const char kAgentString[];

}  // namespace platform

// The one request routine every call to the Twitter service goes through:
// one GET or POST with Basic authorization, giving back the status, the body
// and the Date header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The authorization pair, UTF-8. An empty user sends no Authorization header.
struct TwitterCredentials {
  std::string user;
  std::string password;
};

struct HttpResponse {
  std::int32_t status = -1;  // -1: no answer (no whole response head came)
  std::string body;          // bytes as received
  std::string date;          // the Date header, at most 63 bytes
};

// `host` empty: the Twitter API host over https (port 443, certificates
// checked). Otherwise that host over plain http, port 80 unless the host
// names one ("host:8080"). `body` empty: a GET; otherwise a form POST. A
// response without a Date header comes back with its status and no body; a
// body over 16 MiB is dropped and the request logged as a failed read.
void SendTwitterRequest(const TwitterCredentials& credentials, std::string_view host, std::string_view path,
                        std::string_view body, HttpResponse& response);

// Splits "name" or "name:port" (IPv6 literals in brackets). False when the
// name holds characters no host name has or the port is not 1..65535.
bool SplitHostPort(std::string_view host, std::string* name, int* port);

// For tests only: the connect and receive timeouts in milliseconds (60000
// each unless changed); 0 or less restores the default.
void SetRequestTimeoutsForTests(long connectMs, long receiveMs);

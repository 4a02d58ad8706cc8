#include "client/http_request.h"

#include <algorithm>
#include <atomic>
#include <cctype>

#include "client/base64.h"
#include "client/service_addresses.h"
#include "diag/logging.h"
#include "platform/http.h"
#include "platform/win32.h"

namespace {

constexpr long kDefaultTimeoutMs = 60000;
std::atomic<long> g_connectTimeoutMs{kDefaultTimeoutMs};
std::atomic<long> g_receiveTimeoutMs{kDefaultTimeoutMs};

constexpr std::size_t kMaxBodyBytes = 16u << 20;
constexpr std::size_t kMaxDateBytes = 63;
constexpr std::size_t kMaxRawHeaderBytes = 4095;
constexpr std::size_t kMaxLoggedBodyBytes = 4000;

bool IsHostNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == '_';
}

bool ParsePort(std::string_view text, int* port) {
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return false;
  *port = value;
  return true;
}

const char* StepCode(platform::HttpStep step) {
  switch (step) {
    case platform::HttpStep::Open: return "hr: ioa";
    case platform::HttpStep::Connect: return "hr: ica";
    case platform::HttpStep::OpenRequest: return "hr: iora";
    case platform::HttpStep::Send: return "hr: hsra";
    case platform::HttpStep::ReadBody: return "hr: irf";
    case platform::HttpStep::None: break;
  }
  return "hr: hsra";
}

void LogStepFailure(log4cpp::Category& log, const char* step, DWORD error) {
  SetLastError(error);
  log.error("%s failed. le %lu %lx", step, static_cast<unsigned long>(error), static_cast<unsigned long>(error));
}

}  // namespace

void SetRequestTimeoutsForTests(long connectMs, long receiveMs) {
  g_connectTimeoutMs = connectMs > 0 ? connectMs : kDefaultTimeoutMs;
  g_receiveTimeoutMs = receiveMs > 0 ? receiveMs : kDefaultTimeoutMs;
}

bool SplitHostPort(std::string_view host, std::string* name, int* port) {
  std::string_view hostName = host;
  std::string_view portText;
  bool hasPort = false;
  if (!host.empty() && host.front() == '[') {
    const auto close = host.find(']');
    if (close == std::string_view::npos) return false;
    const std::string_view inside = host.substr(1, close - 1);
    if (inside.empty() ||
        !std::all_of(inside.begin(), inside.end(), [](char c) { return c == ':' || c == '.' || std::isxdigit(static_cast<unsigned char>(c)); }))
      return false;
    hostName = host.substr(0, close + 1);
    const std::string_view rest = host.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return false;
      portText = rest.substr(1);
      hasPort = true;
    }
  } else {
    const auto colon = host.find(':');
    if (colon != std::string_view::npos) {
      hostName = host.substr(0, colon);
      portText = host.substr(colon + 1);
      hasPort = true;
    }
    if (hostName.empty() || !std::all_of(hostName.begin(), hostName.end(), IsHostNameChar)) return false;
  }
  int parsedPort = 0;
  if (hasPort && !ParsePort(portText, &parsedPort)) return false;
  name->assign(hostName);
  if (hasPort) *port = parsedPort;
  return true;
}

void SendTwitterRequest(const TwitterCredentials& credentials, std::string_view host, std::string_view path,
                        std::string_view body, HttpResponse& response) {
  log4cpp::Category& log = LogCategory("tap");
  const bool post = !body.empty();
  response.status = -1;
  response.body.clear();
  response.date.clear();

  platform::HttpRequest request;
  request.verb = post ? "POST" : "GET";
  request.agent = platform::kAgentString;
  request.path.assign(path);
  request.connectTimeoutMs = g_connectTimeoutMs;
  request.receiveTimeoutMs = g_receiveTimeoutMs;
  request.maxBodyBytes = kMaxBodyBytes;
  bool hostUsable = true;
  if (host.empty()) {
    request.secure = true;
    request.host = kTwitterApiHost;
    request.port = 443;
  } else {
    request.secure = false;
    request.port = 80;
    hostUsable = SplitHostPort(host, &request.host, &request.port);
  }

  const std::string pathText(path);
  log.debug("fetching: %s %s %d", pathText.c_str(), credentials.user.c_str(),
            static_cast<int>(credentials.password.size()));

  if (!hostUsable) {
    LogStepFailure(log, "hr: ica", ERROR_INTERNET_NAME_NOT_RESOLVED);
    return;
  }
  if (!credentials.user.empty())
    request.headers.push_back("Authorization: Basic " + Base64Encode(credentials.user + ":" + credentials.password));
  if (post) {
    request.headers.push_back("Content-Type: application/x-www-form-urlencoded");
    request.body.assign(body);
  }

  platform::HttpResult result = platform::HttpSend(request);
  if (result.status < 0) {
    LogStepFailure(log, StepCode(result.failedStep == platform::HttpStep::None ? platform::HttpStep::Send
                                                                                : result.failedStep),
                   result.lastError ? result.lastError : ERROR_INTERNET_CONNECTION_ABORTED);
    return;
  }

  log.debug("hr: http status: %d", result.status);
  response.status = result.status;

  const std::string headers = result.rawHeaders.substr(0, kMaxRawHeaderBytes);
  log.log(result.status == 200 ? log4cpp::Priority::DEBUG : log4cpp::Priority::ERROR,
          "hr: %d %s %d resp headers:\n%s", result.status, credentials.user.c_str(),
          static_cast<int>(credentials.password.size()), headers.c_str());

  if (!result.hasDate) {
    LogStepFailure(log, "hr: hqia", ERROR_HTTP_HEADER_NOT_FOUND);
    return;
  }
  response.date = result.date.substr(0, kMaxDateBytes);

  if (result.failedStep != platform::HttpStep::None) {
    LogStepFailure(log, StepCode(result.failedStep), result.lastError);
    return;
  }
  response.body = std::move(result.body);
  log.debug("hr: response: %d  %.*s", static_cast<int>(response.body.size()),
            static_cast<int>(std::min(response.body.size(), kMaxLoggedBodyBytes)), response.body.c_str());
}

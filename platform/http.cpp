#include "platform/http.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/text.h"

namespace platform {

const char kAgentString[] =
    "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 1.1.4322; .NET CLR 2.0.50727)";

namespace {

using Clock = std::chrono::steady_clock;

// A header block larger than this is no answer a client of this service
// needs; past it the exchange ends as a failed send.
constexpr std::size_t kMaxHeaderBytes = 64u << 10;

// WinINet's number for an answer it cannot read as HTTP.
constexpr DWORD kInvalidServerResponse = 12152;

struct Transfer {
  HttpResult* result;
  std::size_t maxBody;
  long receiveTimeoutMs;
  int blockStatus = 0;           // status of the response whose head is being read
  bool headEnded = false;        // a final (non-1xx) response's head came whole
  std::size_t headerBytes = 0;   // of the current head, interim 1xx answers included
  bool headersTooLarge = false;
  curl_off_t lastBytes = -1;
  Clock::time_point lastActivity = Clock::now();
};

struct SlistDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

struct EasyDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string Trim(std::string s) {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool StartsWithNoCase(const std::string& s, std::u16string_view prefix) {
  return s.size() >= prefix.size() &&
         EqualsIgnoreCase(Utf8ToUtf16(std::string_view(s).substr(0, prefix.size())), prefix);
}

// The number after the protocol in a status line ("HTTP/1.1 200 OK"), or 0.
int StatusOfLine(const std::string& line) {
  const auto space = line.find(' ');
  if (space == std::string::npos) return 0;
  int status = 0;
  for (std::size_t i = space + 1; i < line.size() && i < space + 4; ++i) {
    if (line[i] < '0' || line[i] > '9') return 0;
    status = status * 10 + (line[i] - '0');
  }
  return status;
}

size_t OnHeader(char* data, size_t size, size_t n, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t len = size * n;
  // Interim 1xx heads count towards the limit too, so an endless run of
  // them ends like one endless head.
  t->headerBytes += len;
  if (t->headerBytes > kMaxHeaderBytes) {
    t->headersTooLarge = true;
    return 0;  // ends the transfer with a write error
  }
  const std::string line(data, len);
  if (line.rfind("HTTP/", 0) == 0) {
    // A new response (a redirect or an interim 1xx answer came before).
    t->result->rawHeaders.clear();
    t->result->hasDate = false;
    t->result->date.clear();
    t->blockStatus = StatusOfLine(line);
    t->headEnded = false;
  }
  t->result->rawHeaders += line;
  if (line == "\r\n" || line == "\n") {
    // Only a whole head of a final answer is an answer: WinINet's send fails
    // when the connection ends or stalls before it.
    if (t->blockStatus >= 200) {
      t->headEnded = true;
      t->headerBytes = 0;  // a redirect's next head starts afresh
    }
  } else if (!t->result->hasDate && StartsWithNoCase(line, u"date:")) {
    t->result->hasDate = true;
    t->result->date = Trim(line.substr(5));
  }
  t->lastActivity = Clock::now();
  return len;
}

size_t OnBody(char* data, size_t size, size_t n, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t len = size * n;
  if (t->result->body.size() + len > t->maxBody) {
    t->result->bodyTooLarge = true;
    return 0;  // ends the transfer with a write error
  }
  t->result->body.append(data, len);
  t->lastActivity = Clock::now();
  return len;
}

int OnProgress(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
  auto* t = static_cast<Transfer*>(user);
  const curl_off_t bytes = dlnow + ulnow;
  const auto now = Clock::now();
  if (bytes != t->lastBytes) {
    t->lastBytes = bytes;
    t->lastActivity = now;
    return 0;
  }
  const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - t->lastActivity).count();
  if (idle > t->receiveTimeoutMs) {
    t->result->timedOut = true;
    return 1;
  }
  return 0;
}

Slist ConnectToMap() {
  const char* env = std::getenv("WRENVIA_CONNECT_TO");
  if (!env || !*env) return nullptr;
  curl_slist* list = nullptr;
  std::string all(env);
  std::size_t pos = 0;
  while (pos <= all.size()) {
    const auto comma = all.find(',', pos);
    const std::string entry = Trim(all.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
    if (!entry.empty()) {
      curl_slist* next = curl_slist_append(list, entry.c_str());
      if (next) list = next;
    }
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  return Slist(list);
}

// WinINet-style numbers for the log, so a failure reads like one.
DWORD WinInetError(CURLcode rc, bool timedOut) {
  if (timedOut) return ERROR_INTERNET_TIMEOUT;
  switch (rc) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE: return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE: return ERROR_INTERNET_CONNECTION_ABORTED;
    default: return 12000u + static_cast<DWORD>(rc);
  }
}

HttpResult Perform(const std::string& url, const HttpRequest& req) {
  HttpResult result;
  GlobalInit();
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  if (!easy) {
    result.failedStep = HttpStep::Open;
    result.lastError = ERROR_NOT_ENOUGH_MEMORY;
    return result;
  }
  CURL* c = easy.get();
  Transfer t{&result, req.maxBodyBytes, req.receiveTimeoutMs};

  Slist headers;
  auto addHeader = [&headers](const std::string& h) {
    curl_slist* next = curl_slist_append(headers.get(), h.c_str());
    if (next) {
      (void)headers.release();
      headers.reset(next);
    }
  };
  addHeader("Accept: */*");
  addHeader("Expect:");  // WinINet sends the body at once
  for (const auto& h : req.headers) addHeader(h);
  Slist connectTo = ConnectToMap();

  bool ok = curl_easy_setopt(c, CURLOPT_URL, url.c_str()) == CURLE_OK;
  if (!ok) {
    result.failedStep = HttpStep::Connect;
    result.lastError = ERROR_INTERNET_NAME_NOT_RESOLVED;
    return result;
  }
  ok = curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
       curl_easy_setopt(c, CURLOPT_USERAGENT, req.agent.c_str()) == CURLE_OK &&
       curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK &&
       curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, req.connectTimeoutMs) == CURLE_OK &&
       curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, OnHeader) == CURLE_OK &&
       curl_easy_setopt(c, CURLOPT_HEADERDATA, &t) == CURLE_OK &&
       curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnBody) == CURLE_OK &&
       curl_easy_setopt(c, CURLOPT_WRITEDATA, &t) == CURLE_OK &&
       curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
       curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress) == CURLE_OK &&
       curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t) == CURLE_OK &&
       curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, req.followRedirects ? 1L : 0L) == CURLE_OK &&
       curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L) == CURLE_OK &&
       curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
       curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
       // A proxy's answer to CONNECT is no answer of the server.
       curl_easy_setopt(c, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L) == CURLE_OK;
  if (ok && connectTo) ok = curl_easy_setopt(c, CURLOPT_CONNECT_TO, connectTo.get()) == CURLE_OK;
  if (ok && req.verb == "POST") {
    ok = curl_easy_setopt(c, CURLOPT_POST, 1L) == CURLE_OK &&
         curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(req.body.size())) == CURLE_OK &&
         curl_easy_setopt(c, CURLOPT_COPYPOSTFIELDS, req.body.c_str()) == CURLE_OK;
  } else if (ok && req.verb != "GET") {
    ok = curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, req.verb.c_str()) == CURLE_OK;
  }
  if (!ok) {
    result.failedStep = HttpStep::OpenRequest;
    result.lastError = ERROR_INVALID_PARAMETER;
    return result;
  }

  const CURLcode rc = curl_easy_perform(c);
  if (t.headEnded) {
    long code = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
    if (code > 0) result.status = static_cast<int>(code);
  }
  if (result.status < 0) {
    result.failedStep = rc == CURLE_URL_MALFORMAT ? HttpStep::Connect : HttpStep::Send;
    if (t.headersTooLarge)
      result.lastError = kInvalidServerResponse;
    else
      result.lastError = rc == CURLE_OK ? ERROR_INTERNET_CONNECTION_ABORTED : WinInetError(rc, result.timedOut);
    result.rawHeaders.clear();
    result.hasDate = false;
    result.date.clear();
    result.body.clear();
  } else if (rc != CURLE_OK) {
    result.lastError = WinInetError(rc, result.timedOut);
    result.failedStep = HttpStep::ReadBody;
    result.body.clear();
  }
  return result;
}

}  // namespace

HttpResult HttpSend(const HttpRequest& req) {
  std::string url = req.secure ? "https://" : "http://";
  url += req.host;
  if (req.port != (req.secure ? 443 : 80)) {
    url += ':';
    url += std::to_string(req.port);
  }
  if (req.path.empty() || req.path[0] != '/') url += '/';
  url += req.path;
  return Perform(url, req);
}

HttpResult HttpGetUrl(const std::string& url, const std::string& agent, long connectTimeoutMs,
                      long receiveTimeoutMs, std::size_t maxBodyBytes) {
  if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) {
    HttpResult r;
    r.failedStep = HttpStep::Connect;
    r.lastError = ERROR_INTERNET_NAME_NOT_RESOLVED;
    return r;
  }
  HttpRequest req;
  req.agent = agent;
  req.connectTimeoutMs = connectTimeoutMs;
  req.receiveTimeoutMs = receiveTimeoutMs;
  req.maxBodyBytes = maxBodyBytes;
  return Perform(url, req);
}

}  // namespace platform

#include "tools/standin/standin.h"

#include <httplib.h>
#include <json-c/json.h>
#include <sys/socket.h>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <sstream>
#include <ctime>
#include <thread>

#include "tools/standin/common.h"
#include "tools/standin/data_store.h"

namespace standin {

namespace {

constexpr std::size_t kRequestsKept = 10000;

// The inode of the TCP connection between the two ports, from the kernel's
// socket tables.
unsigned long ConnectionInode(int localPort, int remotePort) {
  for (const char* table : {"/proc/self/net/tcp", "/proc/self/net/tcp6"}) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
      unsigned long inode = 0;
      fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
      const auto portOf = [](const std::string& address) {
        const auto colon = address.rfind(':');
        return colon == std::string::npos ? -1 : static_cast<int>(std::strtol(address.c_str() + colon + 1, nullptr, 16));
      };
      if (inode != 0 && portOf(local) == localPort && portOf(remote) == remotePort) return inode;
    }
  }
  return 0;
}

// httplib does not hand out the socket of a request. The handler runs on the
// thread that owns it, so find it by its ports (through /proc, touching no
// other descriptor) and shut it down: the client sees the connection end
// with no answer at all.
void ShutDownConnection(int localPort, int remotePort) {
  const unsigned long inode = ConnectionInode(localPort, remotePort);
  if (inode == 0) return;
  const std::string wanted = "socket:[" + std::to_string(inode) + "]";
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return;
  while (dirent* entry = readdir(dir)) {
    char target[64] = {};
    const std::string link = std::string("/proc/self/fd/") + entry->d_name;
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && wanted == std::string(target, static_cast<std::size_t>(n))) {
      shutdown(std::atoi(entry->d_name), SHUT_RDWR);
      break;
    }
  }
  closedir(dir);
}

const char* ErrorText(int status) {
  switch (status) {
    case 400: return "Rate limit exceeded. Clients may not make more than 150 requests per hour.";
    case 401: return "Could not authenticate you.";
    case 403: return "Forbidden.";
    case 404: return "Not found";
    case 500: return "Something is technically wrong.";
    case 502: return "Twitter is down or being upgraded.";
    case 503: return "The Twitter servers are up, but overloaded with requests. Try again later.";
    default: return "Something went wrong.";
  }
}

void ObjectForArray(Reply& reply, const std::string& path) {
  Json top(json_tokener_parse(reply.body.c_str()));
  if (!top) return;
  if (json_object_is_type(top.get(), json_type_array)) {
    reply.body = ErrorBody("Not found", path);
    return;
  }
  json_object* results = nullptr;
  if (json_object_is_type(top.get(), json_type_object) && json_object_object_get_ex(top.get(), "results", &results)) {
    json_object_object_add(top.get(), "results", json_object_new_object());
    reply.body = json_object_to_json_string_ext(top.get(), JSON_C_TO_STRING_PLAIN);
  }
}

}  // namespace

std::size_t Request::HeaderCount(const std::string& name) const {
  return static_cast<std::size_t>(
      std::count_if(headers.begin(), headers.end(), [&](const auto& h) { return SameIgnoringCase(h.first, name); }));
}

std::string Request::Header(const std::string& name) const {
  for (const auto& h : headers)
    if (SameIgnoringCase(h.first, name)) return h.second;
  return {};
}

std::string Request::Param(const std::string& name) const {
  const auto it = params.find(name);
  return it == params.end() ? std::string() : it->second;
}

bool Request::HasParam(const std::string& name) const { return params.count(name) > 0; }

struct StandIn::Impl {
  struct Route {
    std::string method;
    std::string path;
    bool prefix;
    RouteHandler handler;
  };

  httplib::Server server;
  std::thread thread;
  std::atomic<bool> listenEnded{false};
  DataStore store;

  std::mutex mutex;  // routes, faults, requests, stopping
  std::condition_variable stopWake;
  bool stopping = false;
  std::vector<Route> routes;
  std::map<std::string, Fault> faults;
  std::deque<Request> requests;  // the latest kRequestsKept, for a long-running program

  Reply Dispatch(const Request& request) {
    RouteHandler handler;
    {
      std::lock_guard lock(mutex);
      std::size_t best = 0;
      const std::string method = request.method == "HEAD" ? "GET" : request.method;
      for (const Route& r : routes) {
        if (r.method != method) continue;
        if (!r.prefix && r.path == request.path) {
          handler = r.handler;
          break;
        }
        if (r.prefix && request.path.compare(0, r.path.size(), r.path) == 0 && r.path.size() > best) {
          best = r.path.size();
          handler = r.handler;
        }
      }
    }
    if (!handler) {
      Reply reply;
      reply.status = 404;
      reply.body = ErrorBody("Not found", request.path);
      return reply;
    }
    return handler(request);
  }

  void Handle(const httplib::Request& in, httplib::Response& out) {
    Request request;
    request.method = in.method;
    request.path = in.path;
    request.target = in.target;
    for (const auto& h : in.headers) request.headers.emplace_back(h.first, h.second);
    for (const auto& p : in.params) request.params.emplace(p.first, p.second);
    request.body = in.body;

    Fault fault;
    {
      std::lock_guard lock(mutex);
      requests.push_back(request);
      if (requests.size() > kRequestsKept) requests.pop_front();
      const auto it = faults.find(request.path);
      if (it != faults.end()) {
        fault = it->second;
        if (it->second.times > 0 && --it->second.times == 0) faults.erase(it);
      }
    }
    if (fault.delay.count() > 0) {
      std::unique_lock lock(mutex);
      stopWake.wait_for(lock, fault.delay, [this] { return stopping; });
    }
    if (fault.dropBeforeStatus) {
      ShutDownConnection(in.local_port, in.remote_port);
      return;
    }

    Reply reply;
    if (fault.status != 0) {
      reply.status = fault.status;
      if (fault.body) {
        reply.body = *fault.body;
        reply.contentType = fault.contentType.empty() ? "text/html; charset=utf-8" : fault.contentType;
      } else if (fault.status != 304 && fault.status != 204) {
        reply.body = ErrorBody(ErrorText(fault.status), request.path);
      }
    } else {
      reply = Dispatch(request);
    }
    if (fault.objectForArray) ObjectForArray(reply, request.path);
    if (fault.malformedJson) reply.body = reply.body.size() < 2 ? "{" : reply.body.substr(0, reply.body.size() / 2);
    if (fault.oversizedBytes > reply.body.size()) reply.body.resize(fault.oversizedBytes, ' ');

    out.status = reply.status;
    for (const auto& h : reply.headers) out.set_header(h.first.c_str(), h.second);
    if (!fault.noDate) out.set_header("Date", HttpDate(static_cast<std::int64_t>(std::time(nullptr))));
    if (fault.dropMidBody) {
      auto body = std::make_shared<std::string>(reply.body.size() < 2 ? std::string("{}") : reply.body);
      out.set_content_provider(body->size(), reply.contentType,
                               [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                 const std::size_t half = body->size() / 2;
                                 if (offset >= half) return false;
                                 sink.write(body->data() + offset, std::min(length, half - offset));
                                 return true;
                               });
    } else {
      out.set_content(reply.body, reply.contentType);
    }
  }
};

StandIn::StandIn(SeedData data, Options options) : impl_(std::make_unique<Impl>()), options_(std::move(options)) {
  impl_->store.data = std::move(data);
  impl_->server.set_keep_alive_timeout(1);
  auto handle = [impl = impl_.get()](const httplib::Request& in, httplib::Response& out) { impl->Handle(in, out); };
  impl_->server.Get(".*", handle);
  impl_->server.Post(".*", handle);
  RegisterTwitterRoutes(*this, impl_->store, options_);
}

StandIn::~StandIn() { Stop(); }

bool StandIn::Start(const std::string& host, int port) {
  if (impl_->thread.joinable()) return true;
  {
    std::lock_guard lock(impl_->mutex);
    impl_->stopping = false;
  }
  if (port == 0) {
    port_ = impl_->server.bind_to_any_port(host);
    if (port_ <= 0) return false;
  } else {
    if (!impl_->server.bind_to_port(host, port)) return false;
    port_ = port;
  }
  impl_->listenEnded = false;
  impl_->thread = std::thread([impl = impl_.get()] {
    impl->server.listen_after_bind();
    impl->listenEnded = true;
  });
  // httplib's stop() does nothing until the server loop runs: a Stop()
  // right after Start() would otherwise leave the loop waiting in accept()
  // for good.
  while (!impl_->server.is_running() && !impl_->listenEnded)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

void StandIn::Stop() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->stopping = true;
  }
  impl_->stopWake.notify_all();
  if (impl_->thread.joinable()) {
    impl_->server.stop();
    impl_->thread.join();
  }
}

std::string StandIn::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

void StandIn::AddRoute(const std::string& method, const std::string& path, RouteHandler handler, bool prefix) {
  std::lock_guard lock(impl_->mutex);
  auto& routes = impl_->routes;
  routes.erase(std::remove_if(routes.begin(), routes.end(),
                              [&](const Impl::Route& r) { return r.method == method && r.path == path && r.prefix == prefix; }),
               routes.end());
  routes.push_back({method, path, prefix, std::move(handler)});
}

void StandIn::SetFault(const std::string& path, Fault fault) {
  std::lock_guard lock(impl_->mutex);
  if (fault.times == 0)
    impl_->faults.erase(path);
  else
    impl_->faults[path] = std::move(fault);
}

void StandIn::ClearFault(const std::string& path) {
  std::lock_guard lock(impl_->mutex);
  impl_->faults.erase(path);
}

void StandIn::ClearFaults() {
  std::lock_guard lock(impl_->mutex);
  impl_->faults.clear();
}

std::vector<Request> StandIn::Requests() const {
  std::lock_guard lock(impl_->mutex);
  return {impl_->requests.begin(), impl_->requests.end()};
}

void StandIn::ClearRequests() {
  std::lock_guard lock(impl_->mutex);
  impl_->requests.clear();
}

void StandIn::EditData(const std::function<void(SeedData&)>& edit) {
  std::lock_guard lock(impl_->store.mutex);
  edit(impl_->store.data);
}

SeedData StandIn::Data() const {
  std::lock_guard lock(impl_->store.mutex);
  return impl_->store.data;
}

}  // namespace standin

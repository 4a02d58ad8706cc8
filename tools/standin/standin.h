// A local stand-in for the Twitter service, for tests, demos and benchmarks.
// It speaks the part of the v1 web API the add-in uses, on loopback:
//
//   GET  {prefix}/statuses/friends_timeline.json   since_id, max_id, count (default 20, at most 200)
//   GET  {prefix}/statuses/replies.json            the same; posts that name the account user
//   GET  {prefix}/direct_messages.json             the same; messages to the account user
//   GET  {prefix}/account/verify_credentials.json  the account user
//   POST {prefix}/statuses/update.json             status, in_reply_to_status_id, source
//   POST {prefix}/direct_messages/new.json         user, text
//   GET  /search.json                              q, since_id, max_id, rpp (default 15, at most 100), lang
//   GET  /profile_images/...                       generated pictures
//
// The {prefix} paths check Basic authorization against the seed's account
// (401 with {"error":"Could not authenticate you.","request":PATH}); search
// and pictures need none. Every answer carries a Date header, ids come newest
// first, and posted statuses show up in the timelines.
//
// In a test:
//   standin::StandIn service(standin::GenerateSeed());   // or a SeedData of the test's own
//   service.Start();                                      // ephemeral port on 127.0.0.1
//   account.ApiHost = u"127.0.0.1:" + port ...            // or WRENVIA_CONNECT_TO, see HostPort()
//   service.SetFault("/statuses/replies.json", {.status = 503});
//   service.Requests();                                   // what the client sent
//
// More services (the URL shortener, picture upload) join through AddRoute.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/standin/seed.h"

namespace standin {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// One request as the stand-in received it.
struct Request {
  std::string method;
  std::string path;    // without the query
  std::string target;  // as sent, with the query
  HeaderList headers;  // in the order received, names as sent
  std::multimap<std::string, std::string> params;  // query and form fields, decoded
  std::string body;

  // Headers of this name, ignoring case.
  std::size_t HeaderCount(const std::string& name) const;
  std::string Header(const std::string& name) const;  // the first, or empty
  std::string Param(const std::string& name) const;   // the first, or empty
  bool HasParam(const std::string& name) const;
};

struct Reply {
  int status = 200;
  std::string contentType = "application/json; charset=utf-8";
  std::string body;
  HeaderList headers;
};

// A handler answers one request; it runs on the server's worker threads.
using RouteHandler = std::function<Reply(const Request&)>;

// What goes wrong with the answers for one path. Several may be combined:
// the delay comes first, then the answer (the given status or the normal
// one), then the body changes, then how it is sent.
struct Fault {
  int status = 0;                           // answer with this status instead (JSON error body, or `body`)
  std::chrono::milliseconds delay{0};       // wait this long before answering
  bool malformedJson = false;               // cut the body in half
  bool objectForArray = false;              // an object where an array belongs (top level or "results")
  bool noDate = false;                      // leave out the Date header
  std::size_t oversizedBytes = 0;           // pad the body with blanks to this many bytes
  bool dropBeforeStatus = false;            // close the connection without any answer
  bool dropMidBody = false;                 // send the headers and half the body, then close
  std::optional<std::string> body{};        // with `status`: this body (even empty) instead of the JSON error
  std::string contentType{};                // with `body`
  int times = -1;                           // answers it applies to; 0: none; negative: until cleared
};

struct Options {
  std::string apiPrefix;  // put in front of the API paths (e.g. "/1")
  bool requireAuth = true;
};

class StandIn {
 public:
  explicit StandIn(SeedData data = GenerateSeed(), Options options = {});
  ~StandIn();
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;

  // Listens on host:port (port 0: any free port). False when it cannot bind.
  bool Start(const std::string& host = "127.0.0.1", int port = 0);
  // Wakes delayed answers and waits for the server to end. Safe to repeat.
  void Stop();
  int Port() const { return port_; }
  // "127.0.0.1:PORT": an ApiHost value, or the tail of a WRENVIA_CONNECT_TO
  // entry ("search.twitter.com:80:" + HostPort()).
  std::string HostPort() const;

  // Routes: an exact path, or (prefix = true) every path that starts with it.
  // A later route for the same method and path replaces the earlier one.
  void AddRoute(const std::string& method, const std::string& path, RouteHandler handler, bool prefix = false);

  // Faults, by the request's path (without the query). A fault set for a
  // path replaces the one before; one with `times` 0 applies to no answer,
  // so it only clears that path.
  void SetFault(const std::string& path, Fault fault);
  void ClearFault(const std::string& path);
  void ClearFaults();

  // The requests received so far (the latest 10000), oldest first.
  std::vector<Request> Requests() const;
  void ClearRequests();

  // The service's data, read or changed under its lock.
  void EditData(const std::function<void(SeedData&)>& edit);
  SeedData Data() const;

  const Options& options() const { return options_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  Options options_;
  int port_ = 0;
};

}  // namespace standin

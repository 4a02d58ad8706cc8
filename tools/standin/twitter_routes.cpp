// The Twitter v1 API and search answers of the stand-in, in the shapes the
// real service used (2009): statuses with a nested "user", direct messages
// with "sender" and "recipient", search results with "from_user" fields.
#include <json-c/json.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <ctime>
#include <memory>

#include "tools/standin/common.h"
#include "tools/standin/data_store.h"
#include "tools/standin/pictures.h"
#include "tools/standin/standin.h"

namespace standin {

namespace {

std::string Render(json_object* o) { return json_object_to_json_string_ext(o, JSON_C_TO_STRING_PLAIN); }

Reply JsonReply(json_object* o) {
  Json owned(o);
  Reply r;
  r.body = Render(owned.get());
  return r;
}

Reply ErrorReply(int status, const std::string& text, const std::string& path) {
  Reply r;
  r.status = status;
  r.body = ErrorBody(text, path);
  return r;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::int64_t NumberParam(const Request& request, const char* name, std::int64_t fallback) {
  const std::string text = request.Param(name);
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() ? value : fallback;
}

std::string Base64Decode(const std::string& in) {
  std::string out;
  std::uint32_t buffer = 0;
  int bits = 0;
  for (char c : in) {
    int v;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    else if (c >= '0' && c <= '9') v = c - '0' + 52;
    else if (c == '+') v = 62;
    else if (c == '/') v = 63;
    else if (c == '=') break;
    else return {};
    buffer = (buffer << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((buffer >> bits) & 0xFF);
    }
  }
  return out;
}

bool Authorized(const Request& request, const SeedData& data) {
  if (request.HeaderCount("Authorization") != 1) return false;
  const std::string value = request.Header("Authorization");
  if (value.rfind("Basic ", 0) != 0) return false;
  const std::string pair = Base64Decode(value.substr(6));
  const auto colon = pair.find(':');
  if (colon == std::string::npos) return false;
  return SameIgnoringCase(pair.substr(0, colon), data.accountUser) && pair.substr(colon + 1) == data.accountPassword;
}

std::string PictureAddress(const std::string& image, const Request& request) {
  if (image.empty() || image[0] != '/') return image;
  std::string host = request.Header("Host");
  if (host.empty()) host = "127.0.0.1";
  return "http://" + host + image;
}

json_object* NullOr(std::int64_t value) { return value ? json_object_new_int64(value) : nullptr; }

json_object* UserJson(const SeedUser& u, const Request& request) {
  json_object* o = json_object_new_object();
  json_object_object_add(o, "id", json_object_new_int64(u.id));
  json_object_object_add(o, "name", json_object_new_string(u.name.c_str()));
  json_object_object_add(o, "screen_name", json_object_new_string(u.screenName.c_str()));
  json_object_object_add(o, "location", json_object_new_string(u.location.c_str()));
  json_object_object_add(o, "description", json_object_new_string(u.description.c_str()));
  json_object_object_add(o, "profile_image_url",
                         json_object_new_string(PictureAddress(u.profileImage, request).c_str()));
  json_object_object_add(o, "url", u.url.empty() ? nullptr : json_object_new_string(u.url.c_str()));
  json_object_object_add(o, "protected", json_object_new_boolean(u.isProtected));
  json_object_object_add(o, "followers_count", json_object_new_int64(u.followersCount));
  json_object_object_add(o, "friends_count", json_object_new_int64(u.friendsCount));
  json_object_object_add(o, "created_at", json_object_new_string(StatusDate(u.createdAt).c_str()));
  json_object_object_add(o, "favourites_count", json_object_new_int(0));
  json_object_object_add(o, "utc_offset", json_object_new_int(0));
  json_object_object_add(o, "time_zone", json_object_new_string("London"));
  json_object_object_add(o, "statuses_count", json_object_new_int64(u.statusesCount));
  json_object_object_add(o, "notifications", json_object_new_boolean(false));
  json_object_object_add(o, "following", json_object_new_boolean(true));
  return o;
}

json_object* StatusJson(const SeedStatus& s, const SeedData& data, const Request& request) {
  json_object* o = json_object_new_object();
  json_object_object_add(o, "created_at", json_object_new_string(StatusDate(s.createdAt).c_str()));
  json_object_object_add(o, "id", json_object_new_int64(s.id));
  json_object_object_add(o, "text", json_object_new_string(s.text.c_str()));
  json_object_object_add(o, "source", json_object_new_string(s.source.c_str()));
  json_object_object_add(o, "truncated", json_object_new_boolean(false));
  std::int64_t replyUser = 0;
  std::string replyName;
  if (s.inReplyToStatusId) {
    for (const SeedStatus& other : data.statuses) {
      if (other.id == s.inReplyToStatusId) {
        if (const SeedUser* u = data.FindUser(other.user)) {
          replyUser = u->id;
          replyName = u->screenName;
        }
      }
    }
  }
  json_object_object_add(o, "in_reply_to_status_id", NullOr(s.inReplyToStatusId));
  json_object_object_add(o, "in_reply_to_user_id", NullOr(replyUser));
  json_object_object_add(o, "favorited", json_object_new_boolean(false));
  json_object_object_add(o, "in_reply_to_screen_name",
                         replyName.empty() ? nullptr : json_object_new_string(replyName.c_str()));
  if (const SeedUser* u = data.FindUser(s.user)) json_object_object_add(o, "user", UserJson(*u, request));
  return o;
}

json_object* DirectJson(const SeedDirect& m, const SeedData& data, const Request& request) {
  const SeedUser* sender = data.FindUser(m.sender);
  const SeedUser* recipient = data.FindUser(m.recipient);
  json_object* o = json_object_new_object();
  json_object_object_add(o, "id", json_object_new_int64(m.id));
  json_object_object_add(o, "sender_id", json_object_new_int64(sender ? sender->id : 0));
  json_object_object_add(o, "text", json_object_new_string(m.text.c_str()));
  json_object_object_add(o, "recipient_id", json_object_new_int64(recipient ? recipient->id : 0));
  json_object_object_add(o, "created_at", json_object_new_string(StatusDate(m.createdAt).c_str()));
  json_object_object_add(o, "sender_screen_name", json_object_new_string(m.sender.c_str()));
  json_object_object_add(o, "recipient_screen_name", json_object_new_string(m.recipient.c_str()));
  if (sender) json_object_object_add(o, "sender", UserJson(*sender, request));
  if (recipient) json_object_object_add(o, "recipient", UserJson(*recipient, request));
  return o;
}

// The search service wrote the posting client as escaped HTML.
std::string EscapeHtml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '&': out += "&amp;"; break;
      default: out += c;
    }
  }
  return out;
}

json_object* SearchResultJson(const SeedStatus& s, const SeedData& data, const Request& request) {
  const SeedUser* author = data.FindUser(s.user);
  json_object* o = json_object_new_object();
  json_object_object_add(o, "text", json_object_new_string(s.text.c_str()));
  const SeedUser* to = nullptr;
  if (s.text.size() > 1 && s.text[0] == '@') {
    std::size_t end = 1;
    while (end < s.text.size() && (std::isalnum(static_cast<unsigned char>(s.text[end])) || s.text[end] == '_')) ++end;
    to = data.FindUser(s.text.substr(1, end - 1));
  }
  json_object_object_add(o, "to_user_id", to ? json_object_new_int64(to->id) : nullptr);
  if (to) json_object_object_add(o, "to_user", json_object_new_string(to->screenName.c_str()));
  json_object_object_add(o, "from_user", json_object_new_string(s.user.c_str()));
  json_object_object_add(o, "id", json_object_new_int64(s.id));
  json_object_object_add(o, "from_user_id", json_object_new_int64(author ? author->id : 0));
  json_object_object_add(o, "iso_language_code", json_object_new_string(s.lang.c_str()));
  json_object_object_add(o, "source", json_object_new_string(EscapeHtml(s.source).c_str()));
  json_object_object_add(o, "profile_image_url",
                         json_object_new_string(author ? PictureAddress(author->profileImage, request).c_str() : ""));
  json_object_object_add(o, "created_at", json_object_new_string(SearchDate(s.createdAt).c_str()));
  return o;
}

// since_id < id <= max_id, newest first, at most `count`.
template <class T>
std::vector<const T*> Page(std::vector<const T*> items, const Request& request, std::int64_t count) {
  const std::int64_t since = NumberParam(request, "since_id", 0);
  const std::int64_t max = NumberParam(request, "max_id", 0);
  std::erase_if(items, [&](const T* item) { return item->id <= since || (max > 0 && item->id > max); });
  std::sort(items.begin(), items.end(), [](const T* a, const T* b) { return a->id > b->id; });
  if (static_cast<std::int64_t>(items.size()) > count) items.resize(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
  return items;
}

std::int64_t TimelineCount(const Request& request) {
  return std::clamp<std::int64_t>(NumberParam(request, "count", 20), 1, 200);
}

bool MentionsName(const std::string& text, const std::string& name) {
  const std::string lower = Lower(text), needle = "@" + Lower(name);
  for (std::size_t at = lower.find(needle); at != std::string::npos; at = lower.find(needle, at + 1)) {
    const std::size_t end = at + needle.size();
    if (end == lower.size() || !(std::isalnum(static_cast<unsigned char>(lower[end])) || lower[end] == '_')) return true;
  }
  return false;
}

std::size_t CodePoints(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string UrlEncode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

bool SearchMatches(const SeedStatus& s, const std::vector<std::string>& terms) {
  const std::string text = Lower(s.text);
  for (const std::string& term : terms) {
    if (term.rfind("from:", 0) == 0) {
      if (!SameIgnoringCase(s.user, term.substr(5))) return false;
    } else if (term.rfind("to:", 0) == 0) {
      if (text.rfind("@" + Lower(term.substr(3)), 0) != 0) return false;
    } else if (text.find(Lower(term)) == std::string::npos) {
      return false;
    }
  }
  return true;
}

}  // namespace

void RegisterTwitterRoutes(StandIn& service, DataStore& store, const Options& options) {
  const std::string prefix = options.apiPrefix;
  const bool requireAuth = options.requireAuth;

  // Wraps an API handler with the authorization check, under the data lock.
  auto api = [&store, requireAuth](std::function<Reply(const Request&, SeedData&)> handler) {
    return [&store, requireAuth, handler](const Request& request) {
      std::lock_guard lock(store.mutex);
      if (requireAuth && !Authorized(request, store.data)) {
        Reply r = ErrorReply(401, "Could not authenticate you.", request.path);
        r.headers.emplace_back("WWW-Authenticate", "Basic realm=\"Twitter API\"");
        return r;
      }
      return handler(request, store.data);
    };
  };

  service.AddRoute("GET", prefix + "/statuses/friends_timeline.json", api([](const Request& request, SeedData& data) {
    std::vector<const SeedStatus*> items;
    for (const SeedStatus& s : data.statuses)
      if (SameIgnoringCase(s.user, data.accountUser) || data.IsFriend(s.user)) items.push_back(&s);
    json_object* answer = json_object_new_array();
    for (const SeedStatus* s : Page(items, request, TimelineCount(request)))
      json_object_array_add(answer, StatusJson(*s, data, request));
    return JsonReply(answer);
  }));

  service.AddRoute("GET", prefix + "/statuses/replies.json", api([](const Request& request, SeedData& data) {
    std::vector<const SeedStatus*> items;
    for (const SeedStatus& s : data.statuses)
      if (MentionsName(s.text, data.accountUser)) items.push_back(&s);
    json_object* answer = json_object_new_array();
    for (const SeedStatus* s : Page(items, request, TimelineCount(request)))
      json_object_array_add(answer, StatusJson(*s, data, request));
    return JsonReply(answer);
  }));

  service.AddRoute("GET", prefix + "/direct_messages.json", api([](const Request& request, SeedData& data) {
    std::vector<const SeedDirect*> items;
    for (const SeedDirect& m : data.directs)
      if (SameIgnoringCase(m.recipient, data.accountUser)) items.push_back(&m);
    json_object* answer = json_object_new_array();
    for (const SeedDirect* m : Page(items, request, TimelineCount(request)))
      json_object_array_add(answer, DirectJson(*m, data, request));
    return JsonReply(answer);
  }));

  service.AddRoute("GET", prefix + "/account/verify_credentials.json", api([](const Request& request, SeedData& data) {
    return JsonReply(UserJson(*data.FindUser(data.accountUser), request));
  }));

  service.AddRoute("POST", prefix + "/statuses/update.json", api([](const Request& request, SeedData& data) {
    const std::string text = request.Param("status");
    if (text.empty()) return ErrorReply(403, "Client must provide a 'status' parameter with a value.", request.path);
    if (CodePoints(text) > 140) return ErrorReply(403, "Status is over 140 characters.", request.path);
    SeedStatus s;
    s.id = data.LargestId() + 1;
    s.user = data.FindUser(data.accountUser)->screenName;
    s.text = text;
    s.source = request.HasParam("source") ? request.Param("source") : "web";
    s.createdAt = static_cast<std::int64_t>(std::time(nullptr));
    const std::int64_t replyTo = NumberParam(request, "in_reply_to_status_id", 0);
    if (std::any_of(data.statuses.begin(), data.statuses.end(), [&](const SeedStatus& o) { return o.id == replyTo; }))
      s.inReplyToStatusId = replyTo;
    data.statuses.push_back(s);
    for (SeedUser& u : data.users)
      if (u.screenName == s.user) ++u.statusesCount;
    return JsonReply(StatusJson(s, data, request));
  }));

  service.AddRoute("POST", prefix + "/direct_messages/new.json", api([](const Request& request, SeedData& data) {
    const std::string to = request.Param("user");
    const std::string text = request.Param("text");
    const SeedUser* recipient = data.FindUser(to);
    std::int64_t numeric = 0;
    if (!recipient && std::from_chars(to.data(), to.data() + to.size(), numeric).ec == std::errc())
      recipient = data.FindUserById(numeric);
    if (!recipient || SameIgnoringCase(recipient->screenName, data.accountUser))
      return ErrorReply(403, "You cannot send messages to users who are not following you.", request.path);
    if (text.empty()) return ErrorReply(403, "Client must provide a 'text' parameter with a value.", request.path);
    SeedDirect m;
    m.id = data.LargestId() + 1;
    m.sender = data.FindUser(data.accountUser)->screenName;
    m.recipient = recipient->screenName;
    m.text = text;
    m.createdAt = static_cast<std::int64_t>(std::time(nullptr));
    data.directs.push_back(m);
    return JsonReply(DirectJson(m, data, request));
  }));

  service.AddRoute("GET", "/search.json", [&store](const Request& request) {
    std::lock_guard lock(store.mutex);
    const SeedData& data = store.data;
    const std::string query = request.Param("q");
    if (query.empty()) return ErrorReply(403, "You must enter a query.", request.path);
    std::vector<std::string> terms;
    for (std::size_t pos = 0; pos < query.size();) {
      const auto space = query.find(' ', pos);
      const std::string term = query.substr(pos, space == std::string::npos ? std::string::npos : space - pos);
      if (!term.empty()) terms.push_back(term);
      if (space == std::string::npos) break;
      pos = space + 1;
    }
    const std::string lang = request.Param("lang");
    std::vector<const SeedStatus*> items;
    auto consider = [&](const SeedStatus& s) {
      const SeedUser* author = data.FindUser(s.user);
      if (!author || author->isProtected) return;  // protected posts are not searchable
      if (!lang.empty() && s.lang != lang) return;
      if (SearchMatches(s, terms)) items.push_back(&s);
    };
    for (const SeedStatus& s : data.statuses) consider(s);
    for (const SeedStatus& s : data.searchHits) consider(s);
    const std::int64_t rpp = std::clamp<std::int64_t>(NumberParam(request, "rpp", 15), 1, 100);
    const std::int64_t since = NumberParam(request, "since_id", 0);
    const std::size_t total = Page(items, request, INT64_MAX).size();
    const auto page = Page(items, request, rpp);
    json_object* answer = json_object_new_object();
    json_object* results = json_object_new_array();
    for (const SeedStatus* s : page) json_object_array_add(results, SearchResultJson(*s, data, request));
    json_object_object_add(answer, "results", results);
    const std::int64_t maxId = page.empty() ? -1 : page.front()->id;
    json_object_object_add(answer, "max_id", json_object_new_int64(maxId));
    json_object_object_add(answer, "since_id", json_object_new_int64(since));
    json_object_object_add(answer, "refresh_url",
                           json_object_new_string(("?since_id=" + std::to_string(page.empty() ? since : maxId) +
                                                   "&q=" + UrlEncode(query))
                                                      .c_str()));
    json_object_object_add(answer, "results_per_page", json_object_new_int64(rpp));
    if (total > page.size())
      json_object_object_add(answer, "next_page",
                             json_object_new_string(("?page=2&max_id=" + std::to_string(maxId) +
                                                     "&rpp=" + std::to_string(rpp) + "&q=" + UrlEncode(query))
                                                        .c_str()));
    json_object_object_add(answer, "completed_in", json_object_new_double(0.012));
    json_object_object_add(answer, "page", json_object_new_int(1));
    json_object_object_add(answer, "query", json_object_new_string(UrlEncode(query).c_str()));
    return JsonReply(answer);
  });

  service.AddRoute(
      "GET", "/profile_images/",
      [](const Request& request) {
        Picture picture = MakePicture(request.path);
        Reply r;
        if (picture.contentType.empty()) {
          r.status = 404;
          r.contentType = "text/plain";
          r.body = "Not found";
          return r;
        }
        r.contentType = picture.contentType;
        r.body = std::move(picture.bytes);
        return r;
      },
      true);
}

}  // namespace standin

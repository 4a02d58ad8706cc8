#include <json-c/json.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "tools/standin/common.h"
#include "tools/standin/seed.h"

namespace standin {

namespace {

json_object* Member(json_object* object, const char* name) {
  json_object* value = nullptr;
  return json_object_object_get_ex(object, name, &value) ? value : nullptr;
}

std::string Text(json_object* object, const char* name, const std::string& fallback = {}) {
  json_object* v = Member(object, name);
  const char* text = v ? json_object_get_string(v) : nullptr;
  return text ? text : fallback;
}

std::int64_t Number(json_object* object, const char* name, std::int64_t fallback = 0) {
  json_object* v = Member(object, name);
  return v ? json_object_get_int64(v) : fallback;
}

bool Flag(json_object* object, const char* name) {
  json_object* v = Member(object, name);
  return v && json_object_get_boolean(v);
}

SeedStatus ReadStatus(json_object* o) {
  SeedStatus s;
  s.id = Number(o, "id");
  s.user = Text(o, "user");
  s.text = Text(o, "text");
  s.source = Text(o, "source", "web");
  s.createdAt = Number(o, "created_at");
  s.inReplyToStatusId = Number(o, "in_reply_to_status_id");
  s.lang = Text(o, "lang", "en");
  return s;
}

json_object* WriteStatus(const SeedStatus& s) {
  json_object* o = json_object_new_object();
  json_object_object_add(o, "id", json_object_new_int64(s.id));
  json_object_object_add(o, "user", json_object_new_string(s.user.c_str()));
  json_object_object_add(o, "text", json_object_new_string(s.text.c_str()));
  json_object_object_add(o, "source", json_object_new_string(s.source.c_str()));
  json_object_object_add(o, "created_at", json_object_new_int64(s.createdAt));
  if (s.inReplyToStatusId) json_object_object_add(o, "in_reply_to_status_id", json_object_new_int64(s.inReplyToStatusId));
  json_object_object_add(o, "lang", json_object_new_string(s.lang.c_str()));
  return o;
}

bool IsArray(json_object* v) { return v && json_object_is_type(v, json_type_array); }

}  // namespace

bool ParseSeedJson(const std::string& text, SeedData* data, std::string* error) {
  Json top(json_tokener_parse(text.c_str()));
  if (!top || !json_object_is_type(top.get(), json_type_object)) {
    *error = "the seed is not a JSON object";
    return false;
  }
  SeedData d;
  json_object* account = Member(top.get(), "account");
  d.accountUser = account ? Text(account, "screen_name") : "";
  d.accountPassword = account ? Text(account, "password") : "";
  if (d.accountUser.empty()) {
    *error = "the seed names no account (\"account\": {\"screen_name\": ...})";
    return false;
  }
  if (json_object* friends = Member(top.get(), "friends"); IsArray(friends))
    for (std::size_t i = 0; i < json_object_array_length(friends); ++i)
      if (const char* name = json_object_get_string(json_object_array_get_idx(friends, i))) d.friends.push_back(name);
  if (json_object* users = Member(top.get(), "users"); IsArray(users)) {
    for (std::size_t i = 0; i < json_object_array_length(users); ++i) {
      json_object* o = json_object_array_get_idx(users, i);
      SeedUser u;
      u.id = Number(o, "id");
      u.screenName = Text(o, "screen_name");
      u.name = Text(o, "name", u.screenName);
      u.location = Text(o, "location");
      u.description = Text(o, "description");
      u.url = Text(o, "url");
      u.profileImage = Text(o, "profile_image");
      u.followersCount = Number(o, "followers_count");
      u.friendsCount = Number(o, "friends_count");
      u.statusesCount = Number(o, "statuses_count");
      u.isProtected = Flag(o, "protected");
      u.createdAt = Number(o, "created_at");
      if (u.screenName.empty()) {
        *error = "user " + std::to_string(i) + " has no screen_name";
        return false;
      }
      d.users.push_back(u);
    }
  }
  if (!d.FindUser(d.accountUser)) {
    *error = "the account user \"" + d.accountUser + "\" is not among the users";
    return false;
  }
  auto readStatuses = [&](const char* name, std::vector<SeedStatus>& into) {
    if (json_object* list = Member(top.get(), name); IsArray(list)) {
      for (std::size_t i = 0; i < json_object_array_length(list); ++i) {
        SeedStatus s = ReadStatus(json_object_array_get_idx(list, i));
        if (!d.FindUser(s.user)) {
          *error = std::string(name) + " " + std::to_string(i) + ": unknown user \"" + s.user + "\"";
          return false;
        }
        into.push_back(s);
      }
    }
    return true;
  };
  if (!readStatuses("statuses", d.statuses) || !readStatuses("search", d.searchHits)) return false;
  if (json_object* list = Member(top.get(), "direct_messages"); IsArray(list)) {
    for (std::size_t i = 0; i < json_object_array_length(list); ++i) {
      json_object* o = json_object_array_get_idx(list, i);
      SeedDirect m;
      m.id = Number(o, "id");
      m.sender = Text(o, "sender");
      m.recipient = Text(o, "recipient");
      m.text = Text(o, "text");
      m.createdAt = Number(o, "created_at");
      if (!d.FindUser(m.sender) || !d.FindUser(m.recipient)) {
        *error = "direct_messages " + std::to_string(i) + ": unknown sender or recipient";
        return false;
      }
      d.directs.push_back(m);
    }
  }
  *data = std::move(d);
  return true;
}

bool LoadSeedFile(const std::string& path, SeedData* data, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  if (!ParseSeedJson(text.str(), data, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

std::string SeedToJson(const SeedData& d) {
  Json top(json_object_new_object());
  json_object* account = json_object_new_object();
  json_object_object_add(account, "screen_name", json_object_new_string(d.accountUser.c_str()));
  json_object_object_add(account, "password", json_object_new_string(d.accountPassword.c_str()));
  json_object_object_add(top.get(), "account", account);
  json_object* friends = json_object_new_array();
  for (const auto& f : d.friends) json_object_array_add(friends, json_object_new_string(f.c_str()));
  json_object_object_add(top.get(), "friends", friends);
  json_object* users = json_object_new_array();
  for (const SeedUser& u : d.users) {
    json_object* o = json_object_new_object();
    json_object_object_add(o, "id", json_object_new_int64(u.id));
    json_object_object_add(o, "screen_name", json_object_new_string(u.screenName.c_str()));
    json_object_object_add(o, "name", json_object_new_string(u.name.c_str()));
    json_object_object_add(o, "location", json_object_new_string(u.location.c_str()));
    json_object_object_add(o, "description", json_object_new_string(u.description.c_str()));
    json_object_object_add(o, "url", json_object_new_string(u.url.c_str()));
    json_object_object_add(o, "profile_image", json_object_new_string(u.profileImage.c_str()));
    json_object_object_add(o, "followers_count", json_object_new_int64(u.followersCount));
    json_object_object_add(o, "friends_count", json_object_new_int64(u.friendsCount));
    json_object_object_add(o, "statuses_count", json_object_new_int64(u.statusesCount));
    json_object_object_add(o, "protected", json_object_new_boolean(u.isProtected));
    json_object_object_add(o, "created_at", json_object_new_int64(u.createdAt));
    json_object_array_add(users, o);
  }
  json_object_object_add(top.get(), "users", users);
  json_object* statuses = json_object_new_array();
  for (const auto& s : d.statuses) json_object_array_add(statuses, WriteStatus(s));
  json_object_object_add(top.get(), "statuses", statuses);
  json_object* directs = json_object_new_array();
  for (const SeedDirect& m : d.directs) {
    json_object* o = json_object_new_object();
    json_object_object_add(o, "id", json_object_new_int64(m.id));
    json_object_object_add(o, "sender", json_object_new_string(m.sender.c_str()));
    json_object_object_add(o, "recipient", json_object_new_string(m.recipient.c_str()));
    json_object_object_add(o, "text", json_object_new_string(m.text.c_str()));
    json_object_object_add(o, "created_at", json_object_new_int64(m.createdAt));
    json_object_array_add(directs, o);
  }
  json_object_object_add(top.get(), "direct_messages", directs);
  json_object* hits = json_object_new_array();
  for (const auto& s : d.searchHits) json_object_array_add(hits, WriteStatus(s));
  json_object_object_add(top.get(), "search", hits);
  return json_object_to_json_string_ext(top.get(), JSON_C_TO_STRING_PRETTY | JSON_C_TO_STRING_NOSLASHESCAPE);
}

}  // namespace standin

// What the stand-in service knows: the account it answers for, its users,
// their posts, direct messages and extra search hits. Filled from a JSON
// seed file or by the deterministic generator.
//
// Seed file format (every member optional unless said):
//   {
//     "account": {"screen_name": "wren", "password": "secret"},      (required)
//     "friends": ["alice", "bob"],          (whom the account follows; default: every user)
//     "users": [{"id": 1, "screen_name": "alice", "name": "Alice A.", "location": "",
//                "description": "", "url": "", "profile_image": "/profile_images/1/alice.png",
//                "followers_count": 10, "friends_count": 5, "statuses_count": 40,
//                "protected": false, "created_at": 1200000000}],
//     "statuses": [{"id": 100, "user": "alice", "text": "hi @wren", "source": "web",
//                   "created_at": 1243857600, "in_reply_to_status_id": 0, "lang": "en"}],
//     "direct_messages": [{"id": 7, "sender": "alice", "recipient": "wren", "text": "psst",
//                          "created_at": 1243857600}],
//     "search": [ same form as "statuses"; found by search only ]
//   }
// Times are seconds since 1970 UTC. A "profile_image" that starts with "/" is
// served by the stand-in itself (a generated PNG, GIF or JPEG by its
// extension) and sent as an absolute address on the host the client used;
// any other value is sent as it stands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

struct SeedUser {
  std::int64_t id = 0;
  std::string screenName;
  std::string name;
  std::string location;
  std::string description;
  std::string url;
  std::string profileImage;
  std::int64_t followersCount = 0;
  std::int64_t friendsCount = 0;
  std::int64_t statusesCount = 0;
  bool isProtected = false;
  std::int64_t createdAt = 0;
};

struct SeedStatus {
  std::int64_t id = 0;
  std::string user;  // screen name of the author
  std::string text;
  std::string source = "web";
  std::int64_t createdAt = 0;
  std::int64_t inReplyToStatusId = 0;  // 0: not a reply
  std::string lang = "en";
};

struct SeedDirect {
  std::int64_t id = 0;
  std::string sender;
  std::string recipient;
  std::string text;
  std::int64_t createdAt = 0;
};

struct SeedData {
  std::string accountUser;
  std::string accountPassword;
  std::vector<std::string> friends;  // empty: the account follows every user
  std::vector<SeedUser> users;
  std::vector<SeedStatus> statuses;
  std::vector<SeedDirect> directs;
  std::vector<SeedStatus> searchHits;

  const SeedUser* FindUser(const std::string& screenName) const;  // ignores case
  const SeedUser* FindUserById(std::int64_t id) const;
  bool IsFriend(const std::string& screenName) const;
  std::int64_t LargestId() const;  // over statuses, messages and hits
};

struct GenerateOptions {
  std::uint64_t rngSeed = 1;
  int users = 12;
  int statuses = 150;
  int directs = 15;
  int searchHits = 60;
  std::string accountUser = "wrenvia_user";
  std::string accountPassword = "secret";
  std::int64_t startTime = 1243857600;  // 2009-06-01 12:00:00 UTC
  std::int64_t firstId = 2000000000;
};

// The same options give the same data, byte for byte.
SeedData GenerateSeed(const GenerateOptions& options = {});

// One more post by a friend, as the generator writes them (for a running
// demo that keeps receiving tweets); `counter` makes each one different.
SeedStatus GenerateLivePost(const SeedData& data, std::uint64_t counter, std::int64_t id, std::int64_t now);

bool ParseSeedJson(const std::string& text, SeedData* data, std::string* error);
bool LoadSeedFile(const std::string& path, SeedData* data, std::string* error);
std::string SeedToJson(const SeedData& data);

// "Wed Aug 27 13:08:45 +0000 2008"
std::string StatusDate(std::int64_t unixSeconds);
// "Wed, 27 Aug 2008 13:08:45 +0000"
std::string SearchDate(std::int64_t unixSeconds);
// "Wed, 27 Aug 2008 13:08:45 GMT"
std::string HttpDate(std::int64_t unixSeconds);

}  // namespace standin

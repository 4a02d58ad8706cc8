#include <algorithm>
#include <cctype>
#include <string_view>

#include "tools/standin/seed.h"

namespace standin {

namespace {

// splitmix64: small, and the same sequence on every platform and compiler.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return n <= 0 ? 0 : static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  template <class T, std::size_t N>
  const T& Pick(const T (&items)[N]) { return items[Below(static_cast<int>(N))]; }

 private:
  std::uint64_t state_;
};

const char* const kFirstNames[] = {"Alice", "Bruno", "Chen", "Dana", "Emil", "Fatima", "Gus", "Hana", "Ivo",
                                   "José", "Kiri", "Lena", "Marta", "Nils", "Olu", "Priya", "Quinn", "Rosa"};
const char* const kLastNames[] = {"Archer", "Brook", "Castillo", "Dunn", "Eriksen", "Fox", "Gallo", "Hart",
                                  "Ito", "Jung", "Keller", "Lund", "Moreau", "Novak", "Okafor", "Pike"};
const char* const kLocations[] = {"", "Berlin", "Portland, OR", "São Paulo", "Tokyo", "London, UK",
                                  "iPhone: 51.5,-0.12", "Wellington & nearby"};
const char* const kDescriptions[] = {"", "Coffee, code & cats.", "I write about <b>markup</b> so you don't have to",
                                     "Photographer. Runner. 日本語も少し。", "Building things on the web since 1999",
                                     "Opinions are my own &amp; so are the typos"};
const char* const kTags[] = {"coffee", "wrenvia", "outlook", "music", "fail", "photo", "tcot", "iranelection",
                             "followfriday", "js"};
const char* const kWords[] = {"lunch", "the deadline", "this rain", "the new release", "my inbox", "the match",
                              "that talk", "the bug tracker"};
const char* const kPicCodes[] = {"xvjq8", "4ab2c", "9zz1k", "1k2j3", "q7w8e", "m3n4b"};
const char* const kTinyCodes[] = {"2x7omb", "5bq9cd", "ytp3m", "lqq8r"};
const char* const kSources[] = {"web", "<a href=\"http://www.tweetdeck.com/\">TweetDeck</a>",
                                "<a href=\"http://twitterfeed.com\">twitterfeed</a>",
                                "<a href=\"http://wrenvia.example/\">Wrenvia</a>", "txt"};

// Texts as the service sent them: its own character references (&lt; &amp;),
// links that end sentences or stand in parentheses, names, tags, non-ASCII.
const char* const kPostTemplates[] = {
    "Reading http://en.wikipedia.org/wiki/Foo_(bar) over {word}",
    "Look at this: http://twitpic.com/{pic}.",
    "@{friend} thanks for the link! #{tag}",
    "I &lt;3 #{tag} &amp; {word}",
    "New post (http://example.com/blog/{n}) about #{tag}",
    "#{tag} is trending again, who knew",
    "Waiting for {word}... a#notatag and 3 &gt; 2",
    "Short link http://tinyurl.com/{tiny} and a secure one https://example.org/s/{n}",
    "Café au lait with @{friend} — naïve question: is {word} over yet?",
    "今日は{word}の日 @{friend} #{tag}",
    "RT @{friend}: everyone should read http://example.com/a?b=1&amp;c=2",
    "Photo from {word}: http://twitpic.com/{pic} #photo",
    "Quote of the day: &quot;ship it&quot; — http://example.com/q/{n}",
    "@{friend}: not sure about {word}",
    "Just {word}. That's all.",
};
const char* const kMentionTemplates[] = {
    "@{account} are you coming to {word}?",
    "@{account} see http://twitpic.com/{pic}",
    "Thanks @{account} for the tip about #{tag}!",
    "@{account}: http://example.com/x/{n}. Thoughts?",
};
const char* const kDirectTemplates[] = {
    "Can you send me the slides from {word}?",
    "Call me when you see this: http://example.com/c/{n}",
    "Dinner at 8? &lt;3",
    "Did you see @{friend}'s photo? http://twitpic.com/{pic}",
};

std::string Fill(std::string_view tmpl, Rng& rng, const SeedData& d, const std::vector<std::string>& friends) {
  std::string out;
  for (std::size_t i = 0; i < tmpl.size(); ++i) {
    if (tmpl[i] != '{') {
      out += tmpl[i];
      continue;
    }
    const auto close = tmpl.find('}', i);
    const std::string_view key = tmpl.substr(i + 1, close - i - 1);
    i = close;
    if (key == "friend") out += friends.empty() ? d.accountUser : friends[rng.Below(static_cast<int>(friends.size()))];
    else if (key == "account") out += d.accountUser;
    else if (key == "tag") out += rng.Pick(kTags);
    else if (key == "word") out += rng.Pick(kWords);
    else if (key == "pic") out += rng.Pick(kPicCodes);
    else if (key == "tiny") out += rng.Pick(kTinyCodes);
    else if (key == "n") out += std::to_string(100 + rng.Below(900));
  }
  return out;
}

std::vector<std::string> FriendNames(const SeedData& d) {
  std::vector<std::string> names;
  for (const SeedUser& u : d.users)
    if (u.screenName != d.accountUser && d.IsFriend(u.screenName)) names.push_back(u.screenName);
  return names;
}

}  // namespace

SeedData GenerateSeed(const GenerateOptions& options) {
  Rng rng(options.rngSeed);
  SeedData d;
  d.accountUser = options.accountUser;
  d.accountPassword = options.accountPassword;
  const int userCount = std::max(options.users, 2);
  static const char* const kExtensions[] = {"png", "gif", "jpg"};
  for (int i = 0; i < userCount; ++i) {
    SeedUser u;
    u.id = 1000 + i * 17 + rng.Below(10);
    if (i == 0) {
      u.screenName = options.accountUser;
      u.name = "Wrenvia User";
    } else {
      const std::string first = rng.Pick(kFirstNames);
      const std::string last = rng.Pick(kLastNames);
      u.name = first + " " + last;
      std::string handle;
      for (char c : first)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) handle += static_cast<char>(std::tolower(c));
      u.screenName = handle + "_" + std::to_string(i);
    }
    u.location = rng.Pick(kLocations);
    u.description = rng.Pick(kDescriptions);
    u.url = rng.Below(3) == 0 ? "" : "http://example.com/~" + u.screenName;
    u.profileImage = "/profile_images/" + std::to_string(u.id) + "/" + u.screenName + "_normal." + kExtensions[i % 3];
    u.followersCount = rng.Below(5000);
    u.friendsCount = rng.Below(800);
    u.statusesCount = rng.Below(20000);
    u.isProtected = i % 7 == 6;
    u.createdAt = options.startTime - 86400 * (30 + rng.Below(700));
    d.users.push_back(u);
  }
  // The last two users are not followed: they turn up in search only.
  for (int i = 1; i < userCount - (userCount > 4 ? 2 : 0); ++i) d.friends.push_back(d.users[i].screenName);

  const std::vector<std::string> friends = FriendNames(d);
  std::int64_t id = options.firstId;
  std::int64_t when = options.startTime;
  for (int i = 0; i < options.statuses; ++i) {
    SeedStatus s;
    id += 3 + rng.Below(40);
    when += 60 + rng.Below(900);
    s.id = id;
    s.createdAt = when;
    const bool mention = rng.Below(6) == 0;
    const bool own = !mention && rng.Below(12) == 0;
    s.user = own || friends.empty() ? d.accountUser : friends[rng.Below(static_cast<int>(friends.size()))];
    s.text = Fill(mention ? rng.Pick(kMentionTemplates) : rng.Pick(kPostTemplates), rng, d, friends);
    s.source = rng.Pick(kSources);
    if (!d.statuses.empty() && rng.Below(8) == 0)
      s.inReplyToStatusId = d.statuses[rng.Below(static_cast<int>(d.statuses.size()))].id;
    d.statuses.push_back(s);
  }
  std::int64_t directId = options.firstId / 4;
  for (int i = 0; i < options.directs; ++i) {
    SeedDirect m;
    directId += 1 + rng.Below(20);
    m.id = directId;
    m.createdAt = options.startTime + 3600 * i + rng.Below(3000);
    const bool received = rng.Below(5) != 0;
    const std::string other = friends.empty() ? d.users[1].screenName : friends[rng.Below(static_cast<int>(friends.size()))];
    m.sender = received ? other : d.accountUser;
    m.recipient = received ? d.accountUser : other;
    m.text = Fill(rng.Pick(kDirectTemplates), rng, d, friends);
    d.directs.push_back(m);
  }
  std::int64_t hitId = id;
  for (int i = 0; i < options.searchHits; ++i) {
    SeedStatus s;
    hitId += 2 + rng.Below(30);
    when += 30 + rng.Below(600);
    s.id = hitId;
    s.createdAt = when;
    s.user = d.users[1 + rng.Below(userCount - 1)].screenName;
    s.text = Fill(rng.Pick(kPostTemplates), rng, d, friends);
    s.source = rng.Pick(kSources);
    s.lang = rng.Below(6) == 0 ? (rng.Below(2) ? "ja" : "es") : "en";
    d.searchHits.push_back(s);
  }
  return d;
}

SeedStatus GenerateLivePost(const SeedData& data, std::uint64_t counter, std::int64_t id, std::int64_t now) {
  Rng rng(counter * 7919 + 17);
  const std::vector<std::string> friends = FriendNames(data);
  SeedStatus s;
  s.id = id;
  s.createdAt = now;
  s.user = friends.empty() ? data.accountUser : friends[rng.Below(static_cast<int>(friends.size()))];
  s.text = Fill(rng.Below(4) == 0 ? rng.Pick(kMentionTemplates) : rng.Pick(kPostTemplates), rng, data, friends);
  s.source = rng.Pick(kSources);
  return s;
}

}  // namespace standin

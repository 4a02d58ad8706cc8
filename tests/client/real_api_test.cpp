// Answers the real service sent (or its documentation printed), decoded as
// they stand: none may crash a decoder, and what they carry must come through.
#include <gtest/gtest.h>

#include <json-c/json.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "client/json_decode.h"
#include "client/result_message.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

fs::path Fixtures() { return fs::path(WRENVIA_FIXTURES_DIR); }

// Every element of a timeline, search or wrapped answer, decoded the way its
// shape asks for.
std::vector<TwitterStatus> DecodeAll(json_object* top) {
  std::vector<TwitterStatus> out;
  json_object* list = nullptr;
  bool search = false;
  if (json_object_is_type(top, json_type_array)) {
    list = top;
  } else if (json_object_object_get_ex(top, "results", &list)) {
    search = true;
  } else if (!json_object_object_get_ex(top, "items", &list)) {
    out.push_back(DecodeStatus(top));
    return out;
  }
  for (std::size_t i = 0; i < json_object_array_length(list); ++i) {
    json_object* e = json_object_array_get_idx(list, i);
    out.push_back(search ? DecodeSearchResult(e) : DecodeStatus(e));
  }
  return out;
}

TEST(RealAnswers, EveryCapturedAnswerDecodes) {
  if (!fs::is_directory(Fixtures())) GTEST_SKIP() << "no fixtures at " << Fixtures();
  int files = 0;
  for (const auto& entry : fs::directory_iterator(Fixtures())) {
    if (entry.path().extension() != ".json") continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++files;
    const std::string body = Read(entry.path());
    JsonPtr top(ParseJsonText(body));
    ASSERT_TRUE(top);
    const auto statuses = DecodeAll(top.get());
    EXPECT_FALSE(statuses.empty());
    for (const auto& s : statuses) EXPECT_EQ(s.text.empty(), s.rawText.empty());
    DecodeUser(top.get());
    HttpResponse response;
    response.status = 400;
    response.body = body;
    TwitterResult result;
    ParseTwitterError(response, result);
    EXPECT_FALSE(result.errorText.empty());
  }
  EXPECT_GE(files, 30);
}

struct Expectation {
  const char* file;
  std::size_t index;  // element of the answer
  const char16_t* id;
  const char16_t* screenName;
  const char16_t* textStart;
  WORD year, month, day, hour;
  const char16_t* inReplyToStatusId;
  const char16_t* recipient;
};

TEST(RealAnswers, FieldsComeThroughAsSent) {
  if (!fs::is_directory(Fixtures())) GTEST_SKIP() << "no fixtures at " << Fixtures();
  const Expectation table[] = {
      {"friends_timeline_python-twitter_2007.json", 0, u"89512102", u"kesuke", u"Моё судно", 2007, 6, 3, 18, u"", u""},
      {"friends_timeline_twitter-ruby_2009.json", 0, u"1441588944", u"jnunemaker", u"Rob Dyrdek", 2009, 4, 2, 22, u"",
       u""},
      {"public_timeline_twitter4j_2009.json", 0, u"6000554383", u"fenomenon718", u"@G_Shock22", 2009, 11, 24, 5,
       u"6000444309", u""},
      {"direct_messages_twitter4j_2009.json", 0, u"246928323", u"twit4j2", u"Tue Jul 21", 2009, 7, 21, 11, u"",
       u"twit4j"},
      {"direct_messages_python-twitter_2007.json", 0, u"3444662", u"", u"A légpárnás", 2007, 6, 4, 0, u"", u"kesuke"},
      {"direct_message_twitter-ruby_2010.json", 0, u"1694868698", u"hurrycane", u"Erik, Could", 2010, 9, 27, 6, u"",
       u"sferik"},
      {"search_twitter-ruby_2009_at-jnunemaker.json", 0, u"1446425395", u"PatParslow", u"", 2009, 4, 3, 16, u"", u""},
      {"search_twitter-ruby_2010_twitter.json", 0, u"28857935752", u"killermelons", u"", 2010, 10, 27, 3, u"", u""},
      {"home_timeline_andstatus_twitter-v1.1_2013_items-wrapped.json", 0, u"383296535213002750", u"", u"", 2013, 9,
       26, 18, u"", u""},
      {"status_gnusocial_2018_html-in-text.json", 0, u"4453144", u"vaeringjar", u"@clacke@libranet.de\n<<", 2018, 11,
       29, 6, u"4451387", u""},
      {"status_gnusocial-quitter_2013_attachment.json", 0, u"2215662", u"mcscx", u"@erkanyilmaz", 2013, 11, 10, 23,
       u"2215629", u""},
      {"retweet_twitter4j_2009.json", 0, u"6011259778", u"twit4j", u"RT @yusukey", 2009, 11, 24, 15, u"", u""},
      {"update_with_media_twitter-ruby_2011_entities.json", 0, u"108023089715089400", u"anno", u"You always", 2011, 8,
       29, 3, u"", u""},
  };
  for (const auto& e : table) {
    SCOPED_TRACE(e.file);
    JsonPtr top(ParseJsonText(Read(Fixtures() / e.file)));
    ASSERT_TRUE(top);
    const auto all = DecodeAll(top.get());
    ASSERT_GT(all.size(), e.index);
    const TwitterStatus& s = all[e.index];
    EXPECT_EQ(s.id, e.id);
    if (*e.screenName) {
      EXPECT_EQ(s.user.screenName, e.screenName);
    }
    EXPECT_EQ(s.text.compare(0, std::char_traits<char16_t>::length(e.textStart), e.textStart), 0);
    EXPECT_EQ(s.createdUtc.wYear, e.year);
    EXPECT_EQ(s.createdUtc.wMonth, e.month);
    EXPECT_EQ(s.createdUtc.wDay, e.day);
    EXPECT_EQ(s.createdUtc.wHour, e.hour);
    EXPECT_EQ(s.inReplyToStatusId, e.inReplyToStatusId);
    EXPECT_EQ(s.recipientScreenName, e.recipient);
  }
}

TEST(RealAnswers, SpecialContentSurvives) {
  if (!fs::is_directory(Fixtures())) GTEST_SKIP() << "no fixtures at " << Fixtures();
  auto load = [](const char* file) {
    JsonPtr top(ParseJsonText(Read(Fixtures() / file)));
    EXPECT_TRUE(top) << file;
    return top;
  };
  // Search results: "from_user" is both name and screen name; kind search.
  auto search = load("search_twitter-ruby_2009_from-jnunemaker.json");
  const auto results = DecodeAll(search.get());
  ASSERT_EQ(results.size(), 15u);
  for (const auto& r : results) {
    EXPECT_EQ(r.kind, TweetKindSearch);
    EXPECT_EQ(r.user.name, u"jnunemaker");
    EXPECT_EQ(r.user.screenName, u"jnunemaker");
    EXPECT_EQ(r.user.id, u"19106");
    EXPECT_FALSE(r.user.profileImageUrl.empty());
  }

  // Character references stay as the service sent them, in text and markup.
  auto retweeted = load("retweeted_to_me_twitter-ruby_2009.json");
  bool sawReference = false;
  for (const auto& s : DecodeAll(retweeted.get())) {
    if (s.text.find(u"&lt;3") != std::u16string::npos) {
      sawReference = true;
      EXPECT_NE(s.html.find(u"&lt;3"), std::u16string::npos);
    }
  }
  EXPECT_TRUE(sawReference);

  // Users: verify_credentials answers and the protected flag.
  auto sferik = load("verify_credentials_twitter-ruby_2011_sferik.json");
  const TwitterUser u = DecodeUser(sferik.get());
  EXPECT_EQ(u.id, u"7505382");
  EXPECT_EQ(u.screenName, u"sferik");
  EXPECT_FALSE(u.isProtected);
  EXPECT_FALSE(u.followersCount.empty());
  auto kinobot = load("verify_credentials_zunzun_2009_kinobot.json");
  const TwitterUser k = DecodeUser(kinobot.get());
  EXPECT_EQ(k.screenName, u"kinobot");
  EXPECT_EQ(k.description, u"");  // null
  EXPECT_EQ(k.url, u"");
  auto protectedUpdate = load("update_gnusocial-quitter_2014.json");
  EXPECT_TRUE(DecodeStatus(protectedUpdate.get()).user.isProtected);

  // Error answers give the service's own text.
  struct {
    const char* file;
    std::u16string text;
  } errors[] = {{"error_401_could_not_authenticate_zunzun_2009.json", u"Could not authenticate you."},
                {"error_not_authorized_twitter-ruby_2010.json", u"Not authorized"},
                {"error_dm_new_twitter4j_2010_japanese.json",
                 u"あなたをフォローしていないユーザーにダイレクトメッセージを送ることができません。"}};
  for (const auto& e : errors) {
    HttpResponse response;
    response.status = 401;
    response.body = Read(Fixtures() / e.file);
    TwitterResult result;
    ParseTwitterError(response, result);
    EXPECT_EQ(result.errorText, e.text) << e.file;
  }
}

}  // namespace

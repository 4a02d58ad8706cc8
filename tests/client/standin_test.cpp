// The stand-in service is a test tool, but tests lean on it: its seed must be
// the same on every run and its seed files must load.
#include <gtest/gtest.h>

#include "tests/client/client_test_util.h"
#include "tools/standin/pictures.h"
#include "tools/standin/seed.h"

namespace {

TEST(StandInSeed, GeneratedDataIsDeterministicAndRoundTrips) {
  const standin::SeedData a = standin::GenerateSeed();
  const std::string json = standin::SeedToJson(a);
  EXPECT_EQ(json, standin::SeedToJson(standin::GenerateSeed()));
  standin::GenerateOptions other;
  other.rngSeed = 2;
  EXPECT_NE(json, standin::SeedToJson(standin::GenerateSeed(other)));

  standin::SeedData back;
  std::string error;
  ASSERT_TRUE(standin::ParseSeedJson(json, &back, &error)) << error;
  EXPECT_EQ(standin::SeedToJson(back), json);

  // The generated posts carry what the markup must handle.
  bool mention = false, twitpic = false, reference = false;
  for (const auto& s : a.statuses) {
    mention |= s.text.find("@" + a.accountUser) != std::string::npos;
    twitpic |= s.text.find("http://twitpic.com/") != std::string::npos;
    reference |= s.text.find("&lt;") != std::string::npos || s.text.find("&amp;") != std::string::npos;
  }
  EXPECT_TRUE(mention && twitpic && reference);
}

TEST(StandInSeed, BadSeedFilesSayWhatIsWrong) {
  standin::SeedData d;
  std::string error;
  EXPECT_FALSE(standin::ParseSeedJson("[1]", &d, &error));
  EXPECT_FALSE(standin::ParseSeedJson(R"({"users":[]})", &d, &error));
  EXPECT_NE(error.find("account"), std::string::npos);
  EXPECT_FALSE(standin::ParseSeedJson(
      R"({"account":{"screen_name":"w"},"users":[{"screen_name":"w"}],"statuses":[{"id":1,"user":"x"}]})", &d, &error));
  EXPECT_NE(error.find("unknown user"), std::string::npos);
  EXPECT_FALSE(standin::LoadSeedFile("/nonexistent/seed.json", &d, &error));
}

TEST(StandInPictures, ThreeKindsWithTheirSignatures) {
  EXPECT_EQ(standin::MakePicture("/a.png").bytes.rfind("\x89PNG\r\n\x1a\n", 0), 0u);
  EXPECT_EQ(standin::MakePicture("/a.gif").bytes.rfind("GIF89a", 0), 0u);
  const std::string jpeg = standin::MakePicture("/a.jpg").bytes;
  EXPECT_EQ(jpeg.rfind("\xFF\xD8", 0), 0u);
  EXPECT_EQ(jpeg.substr(jpeg.size() - 2), "\xFF\xD9");
  EXPECT_EQ(standin::MakePicture("/a.png").bytes, standin::MakePicture("/a.png").bytes);
  EXPECT_NE(standin::MakePicture("/a.png").bytes, standin::MakePicture("/b.png").bytes);
  EXPECT_TRUE(standin::MakePicture("/a.txt").contentType.empty());
}

class StandInFaults : public client_test::StandInTest {
 protected:
  int Status() {
    HttpResponse r;
    SendTwitterRequest({"wren", "secret"}, service_.HostPort(), "/statuses/replies.json", {}, r);
    return r.status;
  }
};

TEST_F(StandInFaults, TimesCountsTheAnswersAFaultAppliesTo) {
  service_.SetFault("/statuses/replies.json", {.status = 503, .times = 2});
  EXPECT_EQ(Status(), 503);
  EXPECT_EQ(Status(), 503);
  EXPECT_EQ(Status(), 200);

  // Zero answers: none at all, and the fault set before is gone.
  service_.SetFault("/statuses/replies.json", {.status = 503, .times = 0});
  EXPECT_EQ(Status(), 200);
  service_.SetFault("/statuses/replies.json", {.status = 500});
  service_.SetFault("/statuses/replies.json", {.status = 503, .times = 0});
  EXPECT_EQ(Status(), 200);

  // Negative: until cleared.
  service_.SetFault("/statuses/replies.json", {.status = 500});
  EXPECT_EQ(Status(), 500);
  EXPECT_EQ(Status(), 500);
  service_.ClearFault("/statuses/replies.json");
  EXPECT_EQ(Status(), 200);
}

}  // namespace

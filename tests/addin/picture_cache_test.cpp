// Prefetching sender pictures into the URL cache and loading them back as
// 16 x 16 pictures with no network.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <thread>

#include "addin/picture_cache.h"
#include "picture_test_util.h"
#include "platform/http.h"
#include "platform/text.h"
#include "platform/url_cache.h"
#include "tests/support/temp_profile.h"

namespace {

using picture_test::SolidPicture;

// A picture host on a free local port, serving whatever `files` holds.
class PictureServer {
 public:
  PictureServer() {
    server_.Get(R"(/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
      ++requests_;
      lastAgent_ = req.get_header_value("User-Agent");
      std::lock_guard guard(lock_);
      auto it = files_.find(req.matches[1]);
      if (it == files_.end()) {
        res.status = 404;
        res.set_content("<html>no such picture</html>", "text/html");
        return;
      }
      res.set_content(it->second, "image/png");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~PictureServer() { Stop(); }
  void Stop() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  void Put(const std::string& name, std::string data) {
    std::lock_guard guard(lock_);
    files_[name] = std::move(data);
  }
  std::u16string Url(const std::string& name) const {
    return Utf8ToUtf16("http://127.0.0.1:" + std::to_string(port_) + "/" + name);
  }
  int requests() const { return requests_; }
  std::string lastAgent() const {
    std::lock_guard guard(lock_);
    return lastAgent_;
  }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  mutable std::mutex lock_;
  std::map<std::string, std::string> files_;
  std::string lastAgent_;
  std::atomic<int> requests_{0};
};

bool AllPixels(const platform::Image& image, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const auto* p = image.Pixel(x, y);
      if (std::abs(p[0] - r) > 2 || std::abs(p[1] - g) > 2 || std::abs(p[2] - b) > 2 || p[3] != 255) return false;
    }
  return true;
}

TEST(PictureCache, PrefetchedPicturesLoadWithTheServerGone) {
  testing_support::TempProfile profile;
  PictureServer server;
  server.Put("big.png", SolidPicture(300, 200, 0xff0000));
  server.Put("tiny.png", SolidPicture(5, 5, 0x0000ff));
  server.Put("garbage.png", std::string("\x89PNG\r\n\x1a\n") + std::string(200, '?'));
  server.Put("photo.jpg", SolidPicture(48, 48, 0x00ff00, "jpeg"));

  for (const char* name : {"big.png", "tiny.png", "garbage.png", "photo.jpg", "missing.png"})
    PrefetchToUrlCache(server.Url(name));
  EXPECT_EQ(server.lastAgent(), platform::kAgentString);
  const int requests = server.requests();
  EXPECT_EQ(requests, 5);
  server.Stop();

  auto big = LoadCachedPicture(server.Url("big.png"));
  ASSERT_TRUE(big);
  EXPECT_EQ(big->width, 16);
  EXPECT_EQ(big->height, 16);
  EXPECT_TRUE(AllPixels(*big, 255, 0, 0));
  auto tiny = LoadCachedPicture(server.Url("tiny.png"));
  ASSERT_TRUE(tiny);
  EXPECT_EQ(tiny->width, 16);
  EXPECT_EQ(tiny->height, 16);
  EXPECT_TRUE(AllPixels(*tiny, 0, 0, 255));
  auto photo = LoadCachedPicture(server.Url("photo.jpg"));
  ASSERT_TRUE(photo);
  EXPECT_EQ(photo->width * photo->height, 256);

  // Garbage is cached (it came with a 200) but is no picture; an error page
  // and an address never fetched leave nothing.
  EXPECT_TRUE(platform::UrlCache().Contains(Utf16ToUtf8(server.Url("garbage.png"))));
  EXPECT_FALSE(LoadCachedPicture(server.Url("garbage.png")));
  EXPECT_FALSE(platform::UrlCache().Contains(Utf16ToUtf8(server.Url("missing.png"))));
  EXPECT_FALSE(LoadCachedPicture(server.Url("missing.png")));
  EXPECT_FALSE(LoadCachedPicture(u"http://127.0.0.1:1/never.png"));
  EXPECT_EQ(server.requests(), requests);

  // An address that cannot be reached adds nothing and keeps what is there.
  PrefetchToUrlCache(server.Url("big.png"));
  EXPECT_TRUE(LoadCachedPicture(server.Url("big.png")));
  PrefetchToUrlCache(u"not an address");
  PrefetchToUrlCache(u"");
}

TEST(PictureCache, PrefetchAgainReplacesTheEntry) {
  testing_support::TempProfile profile;
  PictureServer server;
  server.Put("me.png", SolidPicture(32, 32, 0xff0000));
  PrefetchToUrlCache(server.Url("me.png"));
  server.Put("me.png", SolidPicture(32, 32, 0x00ff00));
  PrefetchToUrlCache(server.Url("me.png"));
  auto picture = LoadCachedPicture(server.Url("me.png"));
  ASSERT_TRUE(picture);
  EXPECT_TRUE(AllPixels(*picture, 0, 255, 0));
  // The entry lives in the user's cache folder.
  EXPECT_EQ(platform::UrlCache().folder(), profile.cacheDir() + "/wrenvia/urlcache");
}

}  // namespace

// Prints what delivering one tweet costs: the durable writes it makes and
// the time it takes on the disk under $TMPDIR (or /tmp). Run by hand:
//   store_delivery_bench [count]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/outlook/application.h"
#include "platform/text.h"
#include "store/item_store.h"
#include "store/outlook_access.h"

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 200;
  const char* tmp = std::getenv("TMPDIR");
  std::string root = std::string(tmp && *tmp ? tmp : "/tmp") + "/wrenvia-bench-XXXXXX";
  if (!::mkdtemp(root.data())) return 1;
  // Keep the user's own settings and mail out of it.
  ::setenv("HOME", root.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);

  ComPtr<_Application> app;
  std::string error;
  if (FAILED(CreateOutlookApplication(root + "/Maildir", nullptr, app.put(), &error))) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  SetOutlookApplication(app.get());
  auto store = outlook_host::OpenSharedStore(root + "/Maildir", &error);
  CTwitterAccount account;
  account.User = u"bob";

  const std::uint64_t writesBefore = store->DurableWrites();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) {
    TwitterStatus tweet;
    tweet.id = ToDecimalW(1000 + i);
    tweet.user.screenName = u"alice";
    tweet.user.statusesCount = u"10";
    tweet.text = u"tweet number " + ToDecimalW(i) + u" with a link http://example.org/";
    tweet.rawText = Utf16ToUtf8(tweet.text);
    tweet.html = tweet.text;
    tweet.kind = TweetKindFriends;
    tweet.createdUtc = UnixSecondsToSystemTime(1260194602 + i);
    DeliveryTarget target;
    std::u16string entryId;
    if (FAILED(CreateTweetItem(nullptr, target, tweet, account, &entryId))) {
      std::fprintf(stderr, "delivery %d failed\n", i);
      return 1;
    }
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const std::uint64_t writes = store->DurableWrites() - writesBefore;
  std::printf("tweets delivered: %d\n", count);
  std::printf("durable writes: %llu (%.2f per tweet)\n", static_cast<unsigned long long>(writes),
              static_cast<double>(writes) / count);
  std::printf("time: %.1f ms total, %.2f ms per tweet\n", ms, ms / count);
  SetOutlookApplication(nullptr);
  ReleaseMapiSession();
  app = nullptr;
  store.reset();
  std::filesystem::remove_all(root);
  return 0;
}

// Delivers N tweets (default 2000) from the stand-in service into a Maildir
// on the local disk through the real new-message cycle, several cycles of at
// most 200 tweets as the service's cap requires, and prints: tweets per
// second, peak memory, the time of a poll that finds nothing new, and the
// floor of writing N messages of the same size durably with no other work.
//
//   wrenvia-delivery-bench [N] [--dir DIR]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "client/timeline.h"
#include "engine/new_message_cycle.h"
#include "engine/seen_tweets.h"
#include "engine/twitter_runner.h"
#include "host/outlook/application.h"
#include "platform/text.h"
#include "settings/account.h"
#include "settings/test_hooks.h"
#include "stats/stats_recording.h"
#include "store/item_store.h"
#include "store/outlook_access.h"
#include "tools/standin/standin.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

constexpr int kSenders = 20;
constexpr int kBatch = 200;

standin::SeedData BenchSeed() {
  standin::SeedData d;
  d.accountUser = "bench";
  d.accountPassword = "secret";
  for (int i = 0; i <= kSenders; ++i) {
    standin::SeedUser u;
    u.id = i + 1;
    u.screenName = i == 0 ? "bench" : "sender" + std::to_string(i);
    u.name = "Sender " + std::to_string(i);
    u.location = "Somewhere";
    u.description = "Posts for the benchmark";
    u.url = "http://example.com/" + u.screenName;
    u.followersCount = 100 + i;
    u.friendsCount = 50;
    u.statusesCount = 1000;
    u.profileImage = "/profile_images/" + std::to_string(u.id) + "/" + u.screenName + ".png";
    d.users.push_back(u);
    if (i > 0) d.friends.push_back(u.screenName);
  }
  return d;
}

// Appends one batch of posts from the senders in turn.
void AddBatch(standin::StandIn& service, std::int64_t* nextId, int count) {
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  service.EditData([&](standin::SeedData& d) {
    for (int i = 0; i < count; ++i) {
      standin::SeedStatus s;
      s.id = (*nextId)++;
      s.user = "sender" + std::to_string(1 + s.id % kSenders);
      s.text = "Benchmark post " + std::to_string(s.id) + " with a link http://example.com/p/" + std::to_string(s.id) +
               " and a #tag for @bench";
      s.createdAt = now - 600 + (s.id % 600);
      d.statuses.push_back(s);
    }
  });
}

void DurableWrite(const std::string& dir, const std::string& name, const std::string& data, int dirFd) {
  const std::string tmp = dir + "/tmp/" + name;
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0 || ::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size()) || ::fsync(fd) != 0) {
    std::perror("floor write");
    std::exit(1);
  }
  ::close(fd);
  ::rename(tmp.c_str(), (dir + "/new/" + name).c_str());
  ::fsync(dirFd);
}

// The floor: write `count` files of `size` bytes durably (tmp, fsync, rename,
// directory fsync), nothing else; with `rewrite`, each file is then written
// durably a second time over itself, as a delivered item is stamped.
double DurableWriteFloor(const std::string& dir, int count, std::size_t size, bool rewrite) {
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir + "/tmp");
  std::filesystem::create_directories(dir + "/new");
  const std::string data(size, 'x');
  const int dirFd = ::open((dir + "/new").c_str(), O_RDONLY | O_DIRECTORY);
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    const std::string name = std::to_string(i) + ".floor";
    DurableWrite(dir, name, data, dirFd);
    if (rewrite) DurableWrite(dir, name, data, dirFd);
  }
  const double seconds = Seconds(Clock::now() - start);
  ::close(dirFd);
  return seconds;
}

std::size_t AverageMessageSize(const std::string& maildir, std::size_t* files) {
  std::size_t total = 0;
  *files = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(maildir)) {
    if (!e.is_regular_file()) continue;
    const std::string parent = e.path().parent_path().filename();
    if (parent != "new" && parent != "cur") continue;
    total += e.file_size();
    ++*files;
  }
  return *files ? total / *files : 0;
}

}  // namespace

int main(int argc, char** argv) {
  int n = 2000;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--dir" && i + 1 < argc)
      dir = argv[++i];
    else
      n = std::max(1, std::atoi(argv[i]));
  }
  if (dir.empty()) {
    std::string tmpl = std::filesystem::temp_directory_path().string() + "/wrenvia-bench-XXXXXX";
    if (!::mkdtemp(tmpl.data())) return 1;
    dir = tmpl;
  }
  ::setenv("HOME", dir.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (dir + "/cache").c_str(), 1);
  ::setenv("MAILDIR", (dir + "/Maildir").c_str(), 1);

  standin::StandIn service(BenchSeed());
  if (!service.Start()) return 1;
  ComPtr<_Application> app;
  std::string error;
  if (FAILED(CreateOutlookApplication("", nullptr, app.put(), &error))) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  SetOutlookApplication(app.get());
  CTwitterAccount& account = GetAccount();
  account.SetPassword(u"secret");
  {
    auto guard = account.Lock();
    account.User = u"bench";
    account.ApiHost = Utf8ToUtf16(service.HostPort());
    account.RequestMessageCount = 200;
    account.FetchReplies = false;
    account.FetchDirectMessages = false;
    account.PerSenderFolders = true;
    account.Save();
  }

  nevlora::CTwitterRunner runner;
  std::int64_t nextId = 1000;
  int delivered = 0;
  Clock::duration deliveryTime{};
  for (int done = 0; done < n; done += kBatch) {
    const int batch = std::min(kBatch, n - done);
    AddBatch(service, &nextId, batch);
    CycleReport report;
    const auto start = Clock::now();
    CheckNewMessages(runner, false, nullptr, kStreamReplies, &report);
    deliveryTime += Clock::now() - start;
    delivered += report.delivered;
  }

  // A poll that finds nothing new.
  constexpr int kEmptyPolls = 5;
  const auto emptyStart = Clock::now();
  for (int i = 0; i < kEmptyPolls; ++i) CheckNewMessages(runner, false, nullptr, kStreamReplies, nullptr);
  const double emptyPoll = Seconds(Clock::now() - emptyStart) / kEmptyPolls;

  // Where the time goes, on one more batch of 200 measured step by step.
  AddBatch(service, &nextId, kBatch);
  TweetList list;
  TwitterCredentials credentials;
  TwitterResult result;
  auto t0 = Clock::now();
  FetchFriendsTimeline(account, credentials, result, list);
  const double fetch = Seconds(Clock::now() - t0);
  t0 = Clock::now();
  account.Save();
  const double save = Seconds(Clock::now() - t0);
  t0 = Clock::now();
  for (const TwitterStatus& tweet : list) {
    DeliveryTarget target;
    target.perSender = true;
    std::u16string entryId;
    CreateTweetItem(nullptr, target, tweet, account, &entryId);
  }
  const double items = Seconds(Clock::now() - t0);
  t0 = Clock::now();
  RecordReceivedTweets(list);
  const double stats = Seconds(Clock::now() - t0);

  std::size_t files = 0;
  const std::size_t size = AverageMessageSize(dir + "/Maildir", &files);
  const double floor = DurableWriteFloor(dir + "/floor", n, size, false);
  const double floorTwice = DurableWriteFloor(dir + "/floor", n, size, true);
  const double rate = delivered / Seconds(deliveryTime);
  const double floorRate = n / floor;

  SetOutlookApplication(nullptr);
  ReleaseMapiSession();
  service.Stop();

  std::printf("delivered            %d tweets from %d senders in %d cycles, %.2f s\n", delivered, kSenders,
              (n + kBatch - 1) / kBatch, Seconds(deliveryTime));
  std::printf("delivery rate        %.0f tweets/s\n", rate);
  std::printf("peak memory          %.1f MiB (max RSS)\n", PeakRssKb() / 1024.0);
  std::printf("empty poll           %.1f ms\n", emptyPoll * 1000);
  std::printf("floor                %d durable writes of %zu bytes: %.2f s, %.0f writes/s\n", n, size, floor,
              floorRate);
  std::printf("ratio                %.2f of the floor (aim: 0.40)\n", rate / floorRate);
  std::printf("two writes a message %.0f messages/s (each written, then rewritten over itself): %.2f of the floor\n",
              n / floorTwice, (n / floorTwice) / floorRate);
  std::printf("one batch of %zu     fetch+decode %.1f ms, save markers %.1f ms, items %.1f ms (%.2f ms each), "
              "statistics %.1f ms\n",
              list.size(), fetch * 1000, save * 1000, items * 1000, list.empty() ? 0.0 : items * 1000 / list.size(),
              stats * 1000);
  std::printf("files                %zu messages in the Maildir; work folder %s\n", files, dir.c_str());
  return 0;
}

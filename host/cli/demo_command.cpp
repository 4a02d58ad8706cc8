// `wrenvia demo`: the whole road of a tweet on a throw-away profile, against
// the local stand-in service: configure the account, check once, write the
// statistics page, and show what arrived where.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>

#include "diag/data_folder.h"
#include "host/cli/addin_bridge.h"
#include "host/cli/check_now.h"
#include "host/cli/cli.h"
#include "host/cli/folders.h"
#include "host/mailstore/maildir.h"
#include "host/mailstore/message.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "settings/account.h"
#include "stats/stats_report.h"
#include "tools/standin/standin.h"

namespace cli {
namespace {

constexpr char kDemoFolder[] = "Twitter";
constexpr char kSearchFolder[] = "Searches";
constexpr char16_t kDemoSearch[] = u"#photo";

std::string MakeTempProfile() {
  const char* tmp = std::getenv("TMPDIR");
  std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/wrenvia-demo-XXXXXX";
  return ::mkdtemp(path.data()) ? path : std::string();
}

// Everything the add-in and its host read or write lives below `dir`.
bool UseProfile(const std::string& dir) {
  const std::string home = dir + "/home";
  CreateFolderChain(Utf8ToUtf16(home + "/"));
  struct stat st;
  if (::stat(home.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (dir + "/cache").c_str(), 1);
  ::setenv("MAILDIR", (dir + "/Maildir").c_str(), 1);
  return true;
}

bool Configure(const standin::StandIn& service, const standin::SeedData& seed) {
  FolderIds tweets, searches;
  if (!FolderByPath(kDemoFolder, true, &tweets) || !FolderByPath(kSearchFolder, true, &searches)) return false;
  CTwitterAccount& account = GetAccount();
  account.SetPassword(Utf8ToUtf16(seed.accountPassword));
  auto guard = account.Lock();
  account.User = Utf8ToUtf16(seed.accountUser);
  account.ApiHost = Utf8ToUtf16(service.HostPort());  // the port changes with every run
  account.NewMessageFolderId = tweets.entryId;
  account.NewMessageFolderStoreId = tweets.storeId;
  account.PerSenderFolders = true;
  if (account.Searches.Count() == 0) {
    CSearchOpts search;
    search.SearchString = kDemoSearch;
    search.NewMessageFolderId = searches.entryId;
    search.NewMessageFolderStoreId = searches.storeId;
    account.Searches.Append(search);
  }
  return account.Save() == ERROR_SUCCESS;
}

struct FolderCount {
  std::string name;
  std::size_t messages;
};

void CountFolders(mailstore::MailStore& store, const std::shared_ptr<mailstore::MailFolder>& folder, int depth,
                  std::vector<FolderCount>* out) {
  out->push_back({std::string(static_cast<std::size_t>(depth) * 2, ' ') + Utf16ToUtf8(folder->Name()),
                  folder->List().size()});
  for (const auto& child : store.Children(*folder)) CountFolders(store, child, depth + 1, out);
}

std::string FormatDate(std::int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S %z", &tm);
  return buf;
}

void PrintSummary(const std::string& profile, const CycleReport& cycle, const CycleReport& searches,
                  const nevlora::StatsReportOutcome& report) {
  std::string error;
  auto store = mailstore::MailStore::Open(MaildirRoot(), &error);
  std::printf("\nDelivered %d tweets and %d search results this run.\n\nMail folders in %s:\n", cycle.delivered,
              searches.delivered, MaildirRoot().c_str());
  std::vector<FolderCount> counts;
  if (store) CountFolders(*store, store->Inbox(), 1, &counts);
  for (const auto& c : counts) std::printf("  %-32s %5zu messages\n", c.name.c_str(), c.messages);

  // One stored message, read back from the disk.
  if (store) {
    std::function<bool(const std::shared_ptr<mailstore::MailFolder>&)> showOne =
        [&](const std::shared_ptr<mailstore::MailFolder>& folder) {
          const auto ids = folder->List();
          if (!ids.empty()) {
            mailstore::StoredMessage stored;
            if (folder->Read(ids.back(), &stored)) {
              if (auto message = mailstore::Message::Parse(stored.bytes)) {
                const mailstore::Mailbox from = message->From();
                std::printf("\nOne of them (%s):\n  From:    %s (@%s)\n  Date:    %s\n  Subject: %s\n",
                            Utf16ToUtf8(folder->Name()).c_str(), Utf16ToUtf8(from.name).c_str(),
                            Utf16ToUtf8(from.address).c_str(),
                            message->Date() ? FormatDate(*message->Date()).c_str() : "(none)",
                            Utf16ToUtf8(message->Subject()).c_str());
                return true;
              }
            }
          }
          for (const auto& child : store->Children(*folder))
            if (showOne(child)) return true;
          return false;
        };
    const auto twitter = store->FindChild(*store->Inbox(), Utf8ToUtf16(kDemoFolder));
    if (twitter) showOne(twitter);
  }

  const std::string page = Utf16ToUtf8(report.pagePath);
  // The page's .hta name is registered as a web page in the demo profile
  // only; a browser started with that profile's data folder shows it.
  std::printf("\nStatistics page: %s\n  open it with: XDG_DATA_HOME=%s/data xdg-open %s\n", page.c_str(),
              profile.c_str(), page.c_str());
  std::printf("\nRead the mail with any Maildir program, for example:\n"
              "  mutt -f %s\n"
              "  python3 -c \"import mailbox; md = mailbox.Maildir('%s', create=False); "
              "[print(f, len(md.get_folder(f))) for f in sorted(md.list_folders())]\"\n",
              MaildirRoot().c_str(), MaildirRoot().c_str());
  std::printf("\nProfile: %s (run 'wrenvia demo --profile %s' again: nothing new arrives)\n", profile.c_str(),
              profile.c_str());
}

}  // namespace

int DemoCommand(const Args& args) {
  std::string profile;
  if (args.size() == 2 && args[0] == "--profile") {
    profile = args[1];
    if (profile.empty()) {
      std::fprintf(stderr, "wrenvia: --profile needs a folder name\n");
      return 2;
    }
  } else if (!args.empty()) {
    return PrintUsage(2);
  } else {
    profile = MakeTempProfile();
    if (profile.empty()) {
      std::fprintf(stderr, "wrenvia: no folder for the demo profile could be made\n");
      return 1;
    }
  }
  if (profile[0] != '/') {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd)) profile = std::string(cwd) + "/" + profile;
  }
  if (!UseProfile(profile)) {
    std::fprintf(stderr, "wrenvia: the demo profile folder %s cannot be used\n", profile.c_str());
    return 1;
  }

  // Posts of the last day, so the statistics page has hours to chart; the
  // ids stay the same from run to run, so a second run in the same profile
  // finds nothing new.
  standin::GenerateOptions options;
  options.startTime = (static_cast<std::int64_t>(std::time(nullptr)) / 3600 - 20) * 3600;
  const standin::SeedData seed = standin::GenerateSeed(options);
  standin::StandIn service(seed);
  if (!service.Start()) {
    std::fprintf(stderr, "wrenvia: the stand-in service could not start\n");
    return 1;
  }
  // The search host is fixed; send it to the stand-in too.
  const std::string connectTo = "search.twitter.com:80:" + service.HostPort();
  ::setenv("WRENVIA_CONNECT_TO", connectTo.c_str(), 1);
  std::printf("Stand-in service on http://%s (account @%s); profile %s\n", service.HostPort().c_str(),
              seed.accountUser.c_str(), profile.c_str());

  StartAddin();
  if (!ConnectMailStore()) return 1;
  if (!Configure(service, seed)) {
    std::fprintf(stderr, "wrenvia: the demo account could not be configured\n");
    DisconnectMailStore();
    return 1;
  }
  std::printf("Checking for new tweets...\n");
  std::fflush(stdout);
  const CheckOutcome outcome = CheckNow();
  if (!outcome.fetched()) {
    DisconnectMailStore();
    return 1;
  }
  const nevlora::StatsReportOutcome report = nevlora::WriteStatsReportForCli(false);
  platform::RegisterHtmlApplicationType(true);
  PrintSummary(profile, outcome.timeline, outcome.searches, report);
  DisconnectMailStore();
  service.Stop();
  return 0;
}

}  // namespace cli

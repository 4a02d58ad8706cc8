// `wrenvia check`, `wrenvia run`, `wrenvia search ...` and `wrenvia folder
// ...`: the polling engine and the settings it reads, from the command line.
#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>

#include "diag/logging.h"
#include "engine/new_message_cycle.h"
#include "engine/saved_search_cycle.h"
#include "engine/twitter_runner.h"
#include "host/cli/addin_bridge.h"
#include "host/cli/check_now.h"
#include "host/cli/cli.h"
#include "host/cli/folders.h"
#include "host/cli/run_lock.h"
#include "platform/text.h"
#include "res/string_table.h"
#include "settings/account.h"

namespace cli {
namespace {

bool AccountConfigured() {
  CTwitterAccount& account = GetAccount();
  auto guard = account.Lock();
  if (!account.User.empty()) return true;
  std::fprintf(stderr,
               "Please enter your Twitter user name and password: 'wrenvia settings set User NAME', then "
               "'wrenvia account password'.\n");
  return false;
}

std::string LocalTime(const TwitterStatus& tweet) {
  std::int64_t secs = tweet.receivedAt;
  SystemTimeToUnixSeconds(tweet.createdUtc, &secs);
  const std::time_t t = static_cast<std::time_t>(secs);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

void PrintTweet(const TwitterStatus& tweet, const std::u16string&) {
  std::u16string text = tweet.text;
  for (char16_t& c : text)
    if (c == u'\n' || c == u'\r' || c == u'\t') c = u' ';
  std::printf("%s  @%s  %s\n", LocalTime(tweet).c_str(), PrintableText(tweet.user.screenName).c_str(),
              PrintableText(text).c_str());
  std::fflush(stdout);
}

std::string Where() {
  CTwitterAccount& account = GetAccount();
  std::u16string folderId, storeId;
  bool perSender;
  {
    auto guard = account.Lock();
    folderId = account.NewMessageFolderId;
    storeId = account.NewMessageFolderStoreId;
    perSender = account.PerSenderFolders;
  }
  std::string where = "'" + FolderNameOf(folderId, storeId) + "'";
  if (perSender) where += " (a subfolder per sender)";
  return where + " of " + MaildirRoot();
}

// The runner of `wrenvia run`: its cycles print every tweet they store.
class PrintingRunner : public nevlora::CTwitterRunner {
 protected:
  void RunNewMessageCycle(int mask) override {
    CycleReport report;
    report.onDelivered = PrintTweet;
    CheckNewMessages(*this, false, nullptr, mask, &report);
  }
  void RunSearchCycle() override {
    CycleReport report;
    report.onDelivered = PrintTweet;
    RunSavedSearches(*this, &report);
  }
};

const char* Plural(int n) { return n == 1 ? "" : "s"; }

int Check() {
  if (RefuseWhilePolling()) return 2;
  if (!AccountConfigured()) return 2;
  if (!ConnectMailStore()) return 1;
  const CheckOutcome outcome = CheckNow();
  const std::string where = Where();
  DisconnectMailStore();
  if (!outcome.fetched()) return 1;  // the message box already said why
  std::printf("Delivered %d new tweet%s into %s.\n", outcome.timeline.delivered, Plural(outcome.timeline.delivered),
              where.c_str());
  if (outcome.searches.delivered > 0)
    std::printf("Delivered %d search result%s into the searches' folders.\n", outcome.searches.delivered,
                Plural(outcome.searches.delivered));
  const int failed = outcome.timeline.failed + outcome.searches.failed;
  if (failed > 0)
    std::fprintf(stderr, "wrenvia: %d tweet%s could not be stored; see %s\n", failed, Plural(failed),
                 Utf16ToUtf8(LogFilePath()).c_str());
  if (outcome.searches.failedSearches > 0)
    std::fprintf(stderr, "wrenvia: %d saved search%s failed; see %s\n", outcome.searches.failedSearches,
                 outcome.searches.failedSearches == 1 ? "" : "es", Utf16ToUtf8(LogFilePath()).c_str());
  return failed > 0 || outcome.searches.failedSearches > 0 ? 1 : 0;
}

int Run() {
  if (!AccountConfigured()) return 2;
  RunLock lock;
  int holder = 0;
  if (!lock.Acquire(&holder)) {
    std::fprintf(stderr, "wrenvia: 'wrenvia run' is already polling with this profile (process %d)\n", holder);
    return 2;
  }
  // The signals are taken by this thread alone, before any other starts.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  if (!ConnectMailStore()) return 1;
  int frequency;
  {
    auto guard = GetAccount().Lock();
    frequency = nevlora::CTwitterRunner::CycleMinutes(GetAccount().PollFrequency);
  }
  std::printf("Polling every %d minutes into %s; Ctrl+C stops.\n", frequency, Where().c_str());
  std::fflush(stdout);
  auto runner = std::make_shared<PrintingRunner>();
  runner->Start();
  int received = 0;
  sigwait(&signals, &received);
  std::printf("Stopping...\n");
  std::fflush(stdout);
  runner->Stop();
  if (runner.use_count() > 1) {  // the worker still holds it: a request is under way
    std::printf("Waiting for the request in progress to end (Ctrl+C again quits at once; tweets of this cycle not "
                "yet stored are then lost).\n");
    std::fflush(stdout);
  }
  runner.reset();
  // Wait for the worker while still answering a second signal.
  std::thread joiner([] { nevlora::CThreadRunner::JoinAllWorkers(); });
  const timespec second{0, 200 * 1000 * 1000};
  for (;;) {
    siginfo_t info;
    if (sigtimedwait(&signals, &info, &second) > 0) {
      joiner.detach();
      std::_Exit(130);
    }
    if (nevlora::CThreadRunner::WorkersRunning() == 0) break;
  }
  joiner.join();
  DisconnectMailStore();
  return 0;
}

void PrintSearchList() {
  CTwitterAccount& account = GetAccount();
  auto guard = account.Lock();
  const std::size_t count = account.Searches.Count();
  if (count == 0) std::printf("No saved searches.\n");
  for (std::size_t i = 0; i < count; ++i) {
    const CSearchOpts& s = account.Searches.At(i);
    const bool own = !s.NewMessageFolderStoreId.empty();
    const std::string destination =
        own ? FolderNameOf(s.NewMessageFolderId, s.NewMessageFolderStoreId) : "the new-tweet folder";
    const std::string progress = s.LastMsgId.empty() ? "" : "  (newest seen " + PrintableText(s.LastMsgId) + ")";
    std::printf("%zu: \"%s\" -> %s%s\n", i, PrintableText(s.SearchString).c_str(), destination.c_str(),
                progress.c_str());
  }
}

bool ParseIndex(const std::string& text, std::size_t* index) {
  if (text.empty() || text.size() > 6) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  *index = static_cast<std::size_t>(std::stoul(text));
  return true;
}

// Options after the fixed words: "--folder NAME", "--query TEXT".
bool ParseOptions(const Args& args, std::size_t from, std::string* folder, std::string* query) {
  for (std::size_t i = from; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) return false;
    if (args[i] == "--folder" && folder)
      *folder = args[i + 1];
    else if (args[i] == "--query" && query)
      *query = args[i + 1];
    else
      return false;
  }
  return true;
}

// A query must say something, fit the 140 characters the search box takes,
// and not be an option mistaken for one.
bool ValidQuery(const std::string& query) {
  const std::u16string text = Utf8ToUtf16(query);
  if (text.find_first_not_of(u" \t\r\n") == std::u16string::npos || query.rfind("--", 0) == 0) {
    std::fprintf(stderr, "wrenvia: the search query '%s' is empty or looks like an option; nothing was changed\n",
                 PrintableText(text).c_str());
    return false;
  }
  if (text.size() > 140) {
    std::fprintf(stderr, "wrenvia: a search holds at most 140 characters; nothing was changed\n");
    return false;
  }
  return true;
}

bool SearchIndexExists(std::size_t index) {
  CTwitterAccount& account = GetAccount();
  auto guard = account.Lock();
  if (index < account.Searches.Count()) return true;
  std::fprintf(stderr, "wrenvia: there is no search %zu (see 'wrenvia search list'); nothing was changed\n", index);
  return false;
}

int SaveAccount() {
  const LONG rc = GetAccount().Save();
  if (rc != ERROR_SUCCESS) {
    std::fprintf(stderr, "wrenvia: the settings could not be saved (error %d)\n", static_cast<int>(rc));
    return 1;
  }
  return 0;
}

int SearchAdd(const std::string& query, const std::string& folder) {
  if (!ValidQuery(query)) return 2;
  CTwitterAccount& account = GetAccount();
  auto tooMany = [&account] {
    auto guard = account.Lock();
    if (account.Searches.Count() < kMaxSavedSearches) return false;
    std::fprintf(stderr, "%s\n", Utf16ToUtf8(LoadStringW(IDS_SEARCH_LIMIT)).c_str());
    return true;
  };
  if (tooMany()) return 2;
  CSearchOpts search;
  search.SearchString = Utf8ToUtf16(query);
  if (!folder.empty()) {
    FolderIds ids;
    if (!ConnectMailStore() || !FolderByPath(folder, true, &ids)) return 1;
    search.NewMessageFolderId = ids.entryId;
    search.NewMessageFolderStoreId = ids.storeId;
  }
  auto guard = account.Lock();
  if (tooMany()) return 2;
  account.Searches.Append(search);
  return SaveAccount();
}

int SearchEdit(std::size_t index, const std::string& query, const std::string& folder) {
  if (query.empty() && folder.empty()) return PrintUsage(2);
  if (!query.empty() && !ValidQuery(query)) return 2;
  if (!SearchIndexExists(index)) return 2;
  FolderIds ids;
  if (!folder.empty() && (!ConnectMailStore() || !FolderByPath(folder, true, &ids))) return 1;
  CTwitterAccount& account = GetAccount();
  auto guard = account.Lock();
  if (!SearchIndexExists(index)) return 2;
  CSearchOpts& search = account.Searches.At(index);
  if (!query.empty()) {
    const std::u16string text = Utf8ToUtf16(query);
    // A changed query (exact comparison) starts over.
    if (text != search.SearchString) search.LastMsgId.clear();
    search.SearchString = text;
  }
  if (!folder.empty()) {
    search.NewMessageFolderId = ids.entryId;
    search.NewMessageFolderStoreId = ids.storeId;
  }
  return SaveAccount();
}

int SearchDelete(std::size_t index) {
  CTwitterAccount& account = GetAccount();
  auto guard = account.Lock();
  if (!SearchIndexExists(index)) return 2;
  account.Searches.RemoveAt(index);
  return SaveAccount();
}

int SearchCommandImpl(const Args& args) {
  if (args.size() == 1 && args[0] == "list") {
    if (!ConnectMailStore()) return 1;
    PrintSearchList();
    return 0;
  }
  std::string folder, query;
  if (args.size() >= 2 && args[0] == "add") {
    if (!ParseOptions(args, 2, &folder, nullptr)) return PrintUsage(2);
    if (RefuseWhilePolling()) return 2;
    return SearchAdd(args[1], folder);
  }
  std::size_t index = 0;
  if (args.size() < 2 || (args[0] != "edit" && args[0] != "delete")) return PrintUsage(2);
  if (!ParseIndex(args[1], &index)) {
    std::fprintf(stderr, "wrenvia: '%s' is not a search number (see 'wrenvia search list')\n", args[1].c_str());
    return 2;
  }
  if (args[0] == "delete") {
    if (args.size() != 2) return PrintUsage(2);
    if (RefuseWhilePolling()) return 2;
    return SearchDelete(index);
  }
  if (!ParseOptions(args, 2, &folder, &query)) return PrintUsage(2);
  if (RefuseWhilePolling()) return 2;
  return SearchEdit(index, query, folder);
}

int FolderCommandImpl(const Args& args) {
  const bool show = args.size() == 1 && args[0] == "show";
  const bool choose = args.size() == 2 && (args[0] == "new" || args[0] == "sent");
  if (!show && !choose) return PrintUsage(2);
  if (choose && RefuseWhilePolling()) return 2;
  if (!ConnectMailStore()) return 1;
  CTwitterAccount& account = GetAccount();
  if (show) {
    auto guard = account.Lock();
    std::printf("Maildir:     %s\n", MaildirRoot().c_str());
    std::printf("new tweets:  %s%s\n", FolderNameOf(account.NewMessageFolderId, account.NewMessageFolderStoreId).c_str(),
                account.PerSenderFolders ? " (a subfolder per sender)" : "");
    if (account.SentMessageFolderId.empty())
      std::printf("sent tweets: (none chosen)\n");
    else
      std::printf("sent tweets: %s%s\n",
                  FolderNameOf(account.SentMessageFolderId, account.SentMessageFolderStoreId).c_str(),
                  account.SaveSentMessages ? "" : " (not kept: SaveSentMessages is 0)");
    return 0;
  }
  FolderIds ids;
  if (!FolderByPath(args[1], true, &ids)) return 1;
  auto guard = account.Lock();
  if (args[0] == "new") {
    account.NewMessageFolderId = ids.entryId;
    account.NewMessageFolderStoreId = ids.storeId;
  } else {
    account.SentMessageFolderId = ids.entryId;
    account.SentMessageFolderStoreId = ids.storeId;
  }
  return SaveAccount();
}

}  // namespace

int CheckCommand(const Args& args) { return args.empty() ? Check() : PrintUsage(2); }
int RunCommand(const Args& args) { return args.empty() ? Run() : PrintUsage(2); }
int SearchCommand(const Args& args) {
  const int rc = SearchCommandImpl(args);
  DisconnectMailStore();
  return rc;
}
int FolderCommand(const Args& args) {
  const int rc = FolderCommandImpl(args);
  DisconnectMailStore();
  return rc;
}

}  // namespace cli

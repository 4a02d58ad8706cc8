// `wrenvia check`, `wrenvia run`, `wrenvia search ...` and `wrenvia folder
// ...`: the polling engine and the settings it reads, from the command line.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>
#include <pthread.h>

#include "engine/new_message_cycle.h"
#include "engine/saved_search_cycle.h"
#include "engine/twitter_runner.h"
#include "host/cli/addin_bridge.h"
#include "host/cli/cli.h"
#include "host/cli/folders.h"
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

void PrintTweet(const TwitterStatus& tweet) {
  std::string text = Utf16ToUtf8(tweet.text);
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  std::printf("%s  @%s  %s\n", LocalTime(tweet).c_str(), Utf16ToUtf8(tweet.user.screenName).c_str(), text.c_str());
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
    report.onDelivered = [](const TwitterStatus& t, const std::u16string&) { PrintTweet(t); };
    CheckNewMessages(*this, false, nullptr, mask, &report);
  }
  void RunSearchCycle() override {
    CycleReport report;
    report.onDelivered = [](const TwitterStatus& t, const std::u16string&) { PrintTweet(t); };
    RunSavedSearches(*this, &report);
  }
};

int Check() {
  if (!AccountConfigured()) return 2;
  if (!ConnectMailStore()) return 1;
  // As the "check now" command: an interactive cycle with a temporary runner
  // that is never started, then the saved searches.
  nevlora::CTwitterRunner runner;
  CycleReport cycle;
  CheckNewMessages(runner, true, nullptr, kStreamReplies | kStreamDirect, &cycle);
  if (cycle.resultCode < 0) {
    DisconnectMailStore();
    return 1;  // the message box already said why
  }
  CycleReport searches;
  RunSavedSearches(runner, &searches);
  std::printf("Delivered %d new tweet%s into %s.\n", cycle.delivered, cycle.delivered == 1 ? "" : "s",
              Where().c_str());
  if (searches.delivered > 0)
    std::printf("Delivered %d search result%s into the searches' folders.\n", searches.delivered,
                searches.delivered == 1 ? "" : "s");
  if (searches.resultCode < 0) std::fprintf(stderr, "wrenvia: a saved search failed (%d); see the log\n", searches.resultCode);
  DisconnectMailStore();
  return 0;
}

int Run() {
  if (!AccountConfigured()) return 2;
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
  runner.reset();
  nevlora::CThreadRunner::JoinAllWorkers();
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
    std::printf("%zu: \"%s\" -> %s%s\n", i, Utf16ToUtf8(s.SearchString).c_str(),
                own ? FolderNameOf(s.NewMessageFolderId, s.NewMessageFolderStoreId).c_str() : "the new-tweet folder",
                s.LastMsgId.empty() ? "" : ("  (newest seen " + Utf16ToUtf8(s.LastMsgId) + ")").c_str());
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

int SaveAccount() {
  const LONG rc = GetAccount().Save();
  if (rc != ERROR_SUCCESS) {
    std::fprintf(stderr, "wrenvia: the settings could not be saved (error %d)\n", static_cast<int>(rc));
    return 1;
  }
  return 0;
}

int SearchCommandImpl(const Args& args) {
  if (args.size() == 1 && args[0] == "list") {
    if (!ConnectMailStore()) return 1;
    PrintSearchList();
    return 0;
  }
  CTwitterAccount& account = GetAccount();
  if (args.size() >= 2 && args[0] == "add") {
    std::string folder;
    if (!ParseOptions(args, 2, &folder, nullptr) || args[1].empty()) return PrintUsage(2);
    if (Utf8ToUtf16(args[1]).size() > 140) {
      std::fprintf(stderr, "wrenvia: a search holds at most 140 characters; nothing was changed\n");
      return 2;
    }
    {
      auto guard = account.Lock();
      if (account.Searches.Count() >= kMaxSavedSearches) {
        std::fprintf(stderr, "%s\n", Utf16ToUtf8(LoadStringW(IDS_SEARCH_LIMIT)).c_str());
        return 2;
      }
    }
    CSearchOpts search;
    search.SearchString = Utf8ToUtf16(args[1]);
    if (!folder.empty()) {
      FolderIds ids;
      if (!ConnectMailStore() || !FolderByPath(folder, true, &ids)) return 1;
      search.NewMessageFolderId = ids.entryId;
      search.NewMessageFolderStoreId = ids.storeId;
    }
    auto guard = account.Lock();
    if (account.Searches.Count() >= kMaxSavedSearches) return 2;
    account.Searches.Append(search);
    return SaveAccount();
  }
  std::size_t index = 0;
  if (args.size() >= 2 && (args[0] == "edit" || args[0] == "delete") && !ParseIndex(args[1], &index)) {
    std::fprintf(stderr, "wrenvia: '%s' is not a search number (see 'wrenvia search list')\n", args[1].c_str());
    return 2;
  }
  if (args.size() == 2 && args[0] == "delete") {
    auto guard = account.Lock();
    if (index >= account.Searches.Count()) {
      std::fprintf(stderr, "wrenvia: there is no search %zu; nothing was changed\n", index);
      return 2;
    }
    account.Searches.RemoveAt(index);
    return SaveAccount();
  }
  if (args.size() >= 4 && args[0] == "edit") {
    std::string folder, query;
    if (!ParseOptions(args, 2, &folder, &query)) return PrintUsage(2);
    if (args.size() > 2 && query.empty() && folder.empty()) return PrintUsage(2);
    if (Utf8ToUtf16(query).size() > 140) {
      std::fprintf(stderr, "wrenvia: a search holds at most 140 characters; nothing was changed\n");
      return 2;
    }
    FolderIds ids;
    if (!folder.empty() && (!ConnectMailStore() || !FolderByPath(folder, true, &ids))) return 1;
    auto guard = account.Lock();
    if (index >= account.Searches.Count()) {
      std::fprintf(stderr, "wrenvia: there is no search %zu; nothing was changed\n", index);
      return 2;
    }
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
  return PrintUsage(2);
}

int FolderCommandImpl(const Args& args) {
  if (!ConnectMailStore()) return 1;
  CTwitterAccount& account = GetAccount();
  if (args.size() == 1 && args[0] == "show") {
    auto guard = account.Lock();
    std::printf("Maildir:     %s\n", MaildirRoot().c_str());
    std::printf("new tweets:  %s%s\n", FolderNameOf(account.NewMessageFolderId, account.NewMessageFolderStoreId).c_str(),
                account.PerSenderFolders ? " (a subfolder per sender)" : "");
    std::printf("sent tweets: %s\n", account.SentMessageFolderId.empty()
                                         ? "(none chosen)"
                                         : FolderNameOf(account.SentMessageFolderId, account.SentMessageFolderStoreId).c_str());
    return 0;
  }
  if (args.size() == 2 && (args[0] == "new" || args[0] == "sent")) {
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
  return PrintUsage(2);
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

// Opening with repair, schema creation and error reporting of the database
// wrapper, through the counter store.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "stats_test_util.h"

namespace {

using namespace stats_test;
using nevlora::CStatsStorage;
using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

// Gives tests the store's connection.
class OpenStore : public CStatsStorage {
 public:
  sqlite3* db() { return m_db; }
};

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const auto& l : lines)
    if (l.find(text) != std::string::npos) return true;
  return false;
}

class SqliteWrapperTest : public StatsTest {};

// Opens a store on `path` in a child process after `prepare` (a lowered
// limit, another user); the result of Open, or -1 when the child did not
// get that far (skipped, for 200).
int OpenInChild(const std::string& path, const std::function<bool()>& prepare) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (!prepare()) _exit(200);
    OpenStore store;
    _exit(store.Open(Utf8ToUtf16(path)) & 0xFF);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// A database with alice's three counters.
void MakeHealthyDatabase(const std::string& path) {
  OpenStore store;
  ASSERT_EQ(store.Open(Utf8ToUtf16(path)), SQLITE_OK);
  store.AddCount(1260172800, "r", "alice");
}

TEST_F(SqliteWrapperTest, MissingFolderIsCreatedAndNewFileGetsSchema) {
  LogLines log;
  OpenStore store;
  const std::string path = profile_.root() + "/deep/er/s1.dat";
  EXPECT_EQ(store.Open(Utf8ToUtf16(path)), SQLITE_OK);
  EXPECT_TRUE(store.IsOpen());
  // The first attempt fails on the missing folder and is reported.
  const auto errors = log.Errors();
  EXPECT_TRUE(Contains(errors, "tre: se: 14 ")) << (errors.empty() ? "" : errors[0]);
  EXPECT_TRUE(Contains(errors, "lastop: 100\n"));
  store.Close();

  Db db(path);
  EXPECT_EQ(db.Number("PRAGMA page_size"), 4096);
  EXPECT_EQ(db.Number("PRAGMA user_version"), 1);
  EXPECT_EQ(db.Number("PRAGMA auto_vacuum"), 1);
  EXPECT_EQ(db.Rows("SELECT type, name FROM sqlite_master ORDER BY name"),
            (std::vector<std::string>{"table|counter", "index|counter_ts_idx", "index|counter_type_key1_key2_ts_idx",
                                      "index|counter_type_ts_idx"}));
}

TEST_F(SqliteWrapperTest, ExistingVersionRunsNoScript) {
  const std::string path = profile_.root() + "/s1.dat";
  {
    sqlite3* raw = nullptr;
    sqlite3_open(path.c_str(), &raw);
    sqlite3_exec(raw, "PRAGMA user_version=1;", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
  }
  LogLines log;
  OpenStore store;
  EXPECT_EQ(store.Open(Utf8ToUtf16(path)), SQLITE_OK);
  store.Close();
  EXPECT_TRUE(log.Errors().empty());
  Db db(path);
  EXPECT_EQ(db.Text("SELECT name FROM sqlite_master"), "");
}

TEST_F(SqliteWrapperTest, TextFileInPlaceOfDatabaseIsReplaced) {
  const std::string path = profile_.root() + "/s1.dat";
  WriteFile(path, std::string(3000, 'x') + "not a database\n");
  LogLines log;
  OpenStore store;
  EXPECT_EQ(store.Open(Utf8ToUtf16(path)), SQLITE_OK);
  const auto errors = log.Errors();
  EXPECT_TRUE(Contains(errors, "tre: se: 26 file is not a database. lastop: 201\n"));
  store.AddCount(1260172800, "r", "");
  store.Close();
  Db db(path);
  EXPECT_EQ(db.Number("PRAGMA user_version"), 1);
  EXPECT_EQ(db.Number("SELECT count(*) FROM counter"), 3);
}

TEST_F(SqliteWrapperTest, CorruptDatabaseIsDeletedAndStartsAnew) {
  const std::string path = profile_.root() + "/s1.dat";
  {
    OpenStore store;
    ASSERT_EQ(store.Open(Utf8ToUtf16(path)), SQLITE_OK);
    store.BeginTransaction();
    for (int i = 0; i < 400; ++i) store.AddCount(1260172800 + i * 3600, "r", "person" + std::to_string(i));
    store.Commit();
  }
  // Keep the header page (and with it the schema); scribble over the rest.
  std::string bytes = ReadFile(path);
  ASSERT_GT(bytes.size(), 8192u);
  for (std::size_t i = 4096; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xA5 ^ (i * 7));
  WriteFile(path, bytes);

  LogLines log;
  OpenStore store;
  EXPECT_EQ(store.Open(Utf8ToUtf16(path)), SQLITE_OK);
  nevlora::CounterRows rows;
  store.QueryTop("h", "r", &rows);
  EXPECT_FALSE(store.IsOpen());
  EXPECT_FALSE(FileExists(path));
  const auto errors = log.Errors();
  EXPECT_TRUE(Contains(errors, "tre: se: 11 ")) << (errors.empty() ? "" : errors[0]);
  EXPECT_TRUE(Contains(errors, "tre: df 1 "));
  EXPECT_TRUE(Contains(errors, path));
  // A closed store does nothing, and says nothing.
  store.AddCount(1260172800, "r", "");
  EXPECT_TRUE(log.Errors().empty());

  // The next open starts an empty database.
  OpenStore again;
  EXPECT_EQ(again.Open(Utf8ToUtf16(path)), SQLITE_OK);
  nevlora::CounterRows none;
  again.QuerySeries("h", "r", &none);
  EXPECT_TRUE(none.empty());
}

TEST_F(SqliteWrapperTest, OnlyRealErrorsAreLoggedAndClosedStoreIsQuiet) {
  LogLines log;
  OpenStore store;
  // Closed: transactions answer 1 and nothing is logged.
  EXPECT_EQ(store.BeginTransaction(), 1);
  EXPECT_EQ(store.Commit(), 1);
  EXPECT_EQ(store.Rollback(), 1);
  store.ReportError(SQLITE_ERROR);
  EXPECT_TRUE(log.Take().empty());

  ASSERT_EQ(store.Open(Utf8ToUtf16(profile_.root() + "/s1.dat")), SQLITE_OK);
  log.Take();
  for (int code : {SQLITE_OK, SQLITE_NOTFOUND, SQLITE_ROW, SQLITE_DONE}) store.ReportError(code);
  EXPECT_TRUE(log.Take().empty());
  // A rollback with no transaction is not worth a line either.
  store.Rollback();
  EXPECT_TRUE(log.Take().empty());
  store.ReportError(SQLITE_MISMATCH);
  EXPECT_EQ(log.Take().size(), 1u);
  EXPECT_TRUE(store.IsOpen());
  // EnsureOpen on a closed store says so and opens again.
  store.Close();
  EXPECT_EQ(store.EnsureOpen(), SQLITE_OK);
  const auto lines = log.Take();
  EXPECT_TRUE(Contains(lines, "ri"));
  EXPECT_TRUE(store.IsOpen());
}

TEST_F(SqliteWrapperTest, BusyPastTheTimeoutIsLoggedAndKeepsTheFile) {
  const std::string path = profile_.root() + "/s1.dat";
  {
    OpenStore store;
    ASSERT_EQ(store.Open(Utf8ToUtf16(path)), SQLITE_OK);
    store.AddCount(1260172800, "r", "alice");
  }
  Db holder(path);
  ASSERT_EQ(holder.Exec("BEGIN EXCLUSIVE"), SQLITE_OK);

  LogLines log;
  const auto start = std::chrono::steady_clock::now();
  OpenStore blocked;
  // Reading the version waits out the busy timeout; the file is kept.
  EXPECT_EQ(blocked.Open(Utf8ToUtf16(path)), SQLITE_BUSY);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));
  EXPECT_TRUE(Contains(log.Errors(), "tre: se: 5 "));
  EXPECT_FALSE(blocked.IsOpen());

  // An open store whose transaction meets the lock logs it and goes on.
  holder.Exec("ROLLBACK");
  OpenStore store;
  ASSERT_EQ(store.Open(Utf8ToUtf16(path)), SQLITE_OK);
  ASSERT_EQ(holder.Exec("BEGIN EXCLUSIVE"), SQLITE_OK);
  EXPECT_EQ(store.BeginTransaction(), SQLITE_BUSY);
  EXPECT_TRUE(Contains(log.Errors(), "tre: se: 5 "));
  EXPECT_TRUE(store.IsOpen());
  holder.Exec("ROLLBACK");
  store.Close();

  Db check(path);
  EXPECT_EQ(check.Number("SELECT count(*) FROM counter WHERE key2='alice'"), 3);
}

TEST_F(SqliteWrapperTest, FullDatabaseIsClosedAndKept) {
  const std::string path = profile_.root() + "/s1.dat";
  OpenStore store;
  ASSERT_EQ(store.Open(Utf8ToUtf16(path)), SQLITE_OK);
  store.AddCount(1260172800, "r", "alice");
  const long long pages = Db(path).Number("PRAGMA page_count");
  sqlite3_exec(store.db(), ("PRAGMA max_page_count=" + std::to_string(pages)).c_str(), nullptr, nullptr, nullptr);
  LogLines log;
  store.BeginTransaction();
  for (int i = 0; i < 2000 && store.IsOpen(); ++i)
    store.AddCount(1260172800, "r", "someone with a long name number " + std::to_string(i));
  EXPECT_FALSE(store.IsOpen());
  EXPECT_TRUE(Contains(log.Errors(), "tre: se: 13 "));
  Db check(path);
  EXPECT_EQ(check.Number("SELECT count(*) FROM counter WHERE key2='alice'"), 3);
}

TEST_F(SqliteWrapperTest, AFileThatCannotBeOpenedNowIsKept) {
  const std::string path = profile_.root() + "/s1.dat";
  MakeHealthyDatabase(path);

  // No descriptor left: SQLite cannot open the file (14), which is fine.
  const int noDescriptor = OpenInChild(path, [] {
    const int lowest = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (lowest < 0) return false;
    close(lowest);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(lowest);
    return setrlimit(RLIMIT_NOFILE, &limit) == 0;
  });
  ASSERT_NE(noDescriptor, 200) << "the descriptor limit could not be lowered";
  EXPECT_EQ(noDescriptor, SQLITE_CANTOPEN);
  ASSERT_TRUE(FileExists(path));
  EXPECT_EQ(Db(path).Number("SELECT count(*) FROM counter WHERE key2='alice'"), 3);
}

TEST_F(SqliteWrapperTest, AReadOnlyFileThatNeedsARollbackIsKept) {
  // A crash in the middle of a transaction left a journal; then the file
  // became read-only (a restored backup, another owner). Opening must
  // roll back and cannot (8): the file and its journal are what is left of
  // the counts, and stay.
  const std::string source = profile_.root() + "/s1.dat";
  MakeHealthyDatabase(source);
  // Another user must reach the copy: a folder of its own under /tmp.
  std::string folder = "/tmp/wrenvia-readonly-XXXXXX";
  ASSERT_TRUE(mkdtemp(folder.data()));
  chmod(folder.c_str(), 0777);
  const std::string path = folder + "/s1.dat";
  {
    Db writer(source);
    writer.Exec("PRAGMA cache_size=2");
    ASSERT_EQ(writer.Exec("BEGIN"), SQLITE_OK);
    for (int i = 0; i < 2000; ++i)
      writer.Exec("INSERT INTO counter VALUES ('h', 'r', '" + std::string(200, 'x') + std::to_string(i) + "', " +
                  std::to_string(i) + ", 1)");
    ASSERT_TRUE(FileExists(source + "-journal"));
    std::filesystem::copy_file(source, path);
    std::filesystem::copy_file(source + "-journal", path + "-journal");
    writer.Exec("ROLLBACK");
  }
  chmod(path.c_str(), 0444);
  chmod((path + "-journal").c_str(), 0444);

  const int readOnly = OpenInChild(path, [&] {
    // Permissions do not hold back the superuser: be somebody else.
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return false;
    return access(path.c_str(), R_OK) == 0 && access(path.c_str(), W_OK) != 0;
  });
  if (readOnly == 200) {
    std::filesystem::remove_all(folder);
    GTEST_SKIP() << "no user for whom the file is read-only";
  }
  EXPECT_EQ(readOnly, SQLITE_READONLY);
  EXPECT_TRUE(FileExists(path));
  EXPECT_TRUE(FileExists(path + "-journal"));
  // Writable again, the next open rolls the transaction back.
  chmod(path.c_str(), 0644);
  chmod((path + "-journal").c_str(), 0644);
  EXPECT_EQ(Db(path).Number("SELECT count(*) FROM counter"), 3);
  std::filesystem::remove_all(folder);
}

}  // namespace

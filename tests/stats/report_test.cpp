// The report: the data file byte for byte, the page and scripts from the
// module's resources, the icon, opening the page, and the page itself in a
// real browser.
#include <json-c/json.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/module.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "stats/data_file.h"
#include "stats/resource_ids.h"
#include "stats/stats_recording.h"
#include "stats/stats_report.h"
#include "stats_test_util.h"

namespace {

using namespace stats_test;
using nevlora::CounterRow;
using nevlora::CounterRows;
using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::WriteFile;

const std::string kPageDir = WRENVIA_STATS_PAGE_DIR;
const char* const kNotEnoughData = "Not enough data available. Check back in a few hours.";

std::string EmptyDataFile() {
  std::string out;
  for (const char* dir : {"r", "s"})
    for (const char* kind : {"hourly", "daily", "monthly"})
      for (const char* part : {"all", "top"}) out += std::string(dir) + "_" + kind + "_" + part + " = [ ];\r\n";
  return out;
}

// No desktop: the report is written and nothing is opened.
struct NoDesktop {
  ScopedEnv display{"DISPLAY", nullptr}, wayland{"WAYLAND_DISPLAY", nullptr}, browser{"BROWSER", nullptr};
};

class ReportTest : public StatsTest {
 protected:
  void SetUp() override {
    StatsTest::SetUp();
    CreateFolderChain(Utf8ToUtf16(ReportFolder() + "/"));
  }
  std::string Report(const char* name) { return ReadFile(ReportFolder() + "/" + name); }
};

TEST(DataFile, SpacingAndEscapesMatchJsonC) {
  // json-c's classic spacing for the same values, except for the form feed
  // (which json-c writes as \f; the data file writes it as \u000c).
  std::string label;
  for (int c = 1; c < 128; ++c)
    if (c != '\f') label.push_back(static_cast<char>(c));
  label += "\xc3\xa9\xe2\x82\xac";
  CounterRows rows = {{1260172800, "h", "r", label, 3}, {1260176400, "h", "r", label, 5},
                      {1260172800, "h", "r", "bob", 1}};
  json_object* array = json_object_new_array();
  json_object* first = json_object_new_object();
  json_object* data = json_object_new_array();
  for (int i = 0; i < 2; ++i) {
    json_object* pair = json_object_new_array();
    json_object_array_add(pair, json_object_new_int64(rows[i].ts));
    json_object_array_add(pair, json_object_new_int(rows[i].count));
    json_object_array_add(data, pair);
  }
  json_object_object_add(first, "data", data);
  json_object_object_add(first, "label", json_object_new_string(label.c_str()));
  json_object_array_add(array, first);
  json_object* second = json_object_new_object();
  json_object* data2 = json_object_new_array();
  json_object* pair = json_object_new_array();
  json_object_array_add(pair, json_object_new_int64(1260172800));
  json_object_array_add(pair, json_object_new_int(1));
  json_object_array_add(data2, pair);
  json_object_object_add(second, "data", data2);
  json_object_object_add(second, "label", json_object_new_string("bob"));
  json_object_array_add(array, second);
  EXPECT_EQ(nevlora::SeriesJson(rows), json_object_to_json_string_ext(array, JSON_C_TO_STRING_SPACED));
  json_object_put(array);

  EXPECT_EQ(nevlora::SeriesJson({}), "[ ]");
  std::string escaped;
  nevlora::AppendJsonString(&escaped, "a\fb\x1f");
  EXPECT_EQ(escaped, "\"a\\u000cb\\u001f\"");
}

TEST_F(ReportTest, DataFileIsByteExact) {
  NoDesktop quiet;
  TimeZone zone("UTC");
  {
    auto store = nevlora::OpenStatsStore();
    for (int i = 0; i < 3; ++i) store->AddCount(1260172800 + 10, "r", "");
    for (int i = 0; i < 5; ++i) store->AddCount(1260176400 + 10, "r", "");
    // One person in two spellings in two periods: two series objects, as
    // the break compares bytes.
    store->AddCount(1260172800 + 10, "s", "Alice");
    store->AddCount(1260176400 + 10, "s", "alice");
    store->AddCount(1260176400 + 10, "s", "");
  }
  ShowStatsReport(Utf8ToUtf16(ReportFolder()));
  const std::string text = Report("data.js");
  EXPECT_EQ(text.substr(0, text.find("\r\n") + 2),
            "r_hourly_all = [ { \"data\": [ [ 1260172800, 3 ], [ 1260176400, 5 ] ], \"label\": \"\" } ];\r\n");
  EXPECT_NE(text.find("\r\ns_hourly_top = [ { \"data\": [ [ 1260172800, 1 ] ], \"label\": \"Alice\" }, { \"data\": "
                      "[ [ 1260176400, 1 ] ], \"label\": \"alice\" } ];\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\r\nr_hourly_top = [ ];\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nr_monthly_all = [ { \"data\": [ [ 1259625600, 8 ] ], \"label\": \"\" } ];\r\n"),
            std::string::npos);
}

TEST_F(ReportTest, StatsOffStillGivesAnEmptyReportAndEveryFileIsReplaced) {
  NoDesktop quiet;
  SetStatsEnabled(false);
  RecordSentTweet(u"@alice hi");
  EXPECT_FALSE(FileExists(DatabasePath()));
  for (const char* name : {"data.js", "excanvas.js", "jquery.js", "jquery.flot.js", "fots.hta", "Plumora.ico"})
    WriteFile(ReportFolder() + "/" + name, "stale");

  const auto outcome = nevlora::WriteStatsReport(Utf8ToUtf16(ReportFolder()));
  EXPECT_TRUE(outcome.pageWritten);
  EXPECT_FALSE(outcome.opened);
  EXPECT_EQ(Utf16ToUtf8(outcome.pagePath), ReportFolder() + "/fots.hta");
  EXPECT_TRUE(FileExists(DatabasePath()));  // the report creates the (empty) database
  EXPECT_EQ(Report("data.js"), EmptyDataFile());
  EXPECT_EQ(Report("jquery.js"), ReadFile(kPageDir + "/node_modules/flot/jquery.js"));
  EXPECT_EQ(Report("jquery.flot.js"), ReadFile(kPageDir + "/node_modules/flot/jquery.flot.js"));
  EXPECT_EQ(Report("excanvas.js"), ReadFile(kPageDir + "/node_modules/flot/excanvas.js"));
  EXPECT_EQ(Report("fots.hta"), ReadFile(kPageDir + "/fots.hta"));
  EXPECT_EQ(Report("Plumora.ico"), ReadFile(kPageDir + "/Plumora.ico"));

  // A second report after some counting has the new counts.
  SetStatsEnabled(true);
  RecordSentTweet(u"@alice hi");
  ShowStatsReport(Utf8ToUtf16(ReportFolder()));
  EXPECT_NE(Report("data.js"), EmptyDataFile());
  EXPECT_NE(Report("data.js").find("\"label\": \"alice\""), std::string::npos);
}

TEST(Resources, PageAndScriptsAreFoundByTypeAndId) {
  const std::pair<WORD, std::string> expected[] = {
      {IDR_STATS_JQUERY, kPageDir + "/node_modules/flot/jquery.js"},
      {IDR_STATS_FLOT, kPageDir + "/node_modules/flot/jquery.flot.js"},
      {IDR_STATS_EXCANVAS, kPageDir + "/node_modules/flot/excanvas.js"},
      {IDR_STATS_PAGE, kPageDir + "/fots.hta"},
  };
  for (const auto& [id, file] : expected) {
    HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(id), u"IMAGE");
    ASSERT_NE(res, nullptr) << id;
    const auto* data = static_cast<const char*>(LockResource(LoadResource(nullptr, res)));
    EXPECT_EQ(std::string(data, SizeofResource(nullptr, res)), ReadFile(file)) << id;
  }
  // Types compare without case; "#211" is the number 211.
  EXPECT_EQ(FindResourceW(nullptr, u"#211", u"image"), FindResourceW(nullptr, MAKEINTRESOURCEW(211), u"IMAGE"));
  EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(212), u"IMAGE"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(208), u"ICON"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

TEST(Module, FileNameIsTheProgramsAndTruncatesTheWin32Way) {
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  const std::string program(exe, static_cast<std::size_t>(n));
  HMODULE self = GetModuleHandleFromAddress(reinterpret_cast<const void*>(&EmptyDataFile));
  EXPECT_NE(self, nullptr);
  EXPECT_EQ(Utf16ToUtf8(platform::ModuleFileName(self)), program);
  EXPECT_EQ(Utf16ToUtf8(platform::ModuleFolder(nullptr)), program.substr(0, program.rfind('/')));

  char16_t small[8];
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 8), 8u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(small), Utf8ToUtf16(program.substr(0, 7)));
}

TEST_F(ReportTest, OpeningStartsTheOpenerDetachedAndRegistersHtmlApplications) {
  // A stand-in opener that notes its argument and takes its time.
  const std::string bin = profile_.root() + "/bin";
  mkdir(bin.c_str(), 0700);
  const std::string noted = profile_.root() + "/opened.txt";
  WriteFile(bin + "/xdg-open", "#!/bin/sh\necho \"$1\" > " + noted + ".tmp\nmv " + noted + ".tmp " + noted +
                                   "\nsleep 3\n");
  chmod((bin + "/xdg-open").c_str(), 0700);
  ScopedEnv path("PATH", (bin + ":/usr/bin:/bin").c_str());
  ScopedEnv display("DISPLAY", ":97");

  const auto start = std::chrono::steady_clock::now();
  const auto outcome = nevlora::WriteStatsReport(Utf8ToUtf16(ReportFolder()));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_TRUE(outcome.opened);
  for (int i = 0; i < 100 && !FileExists(noted); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(ReadFile(noted), ReportFolder() + "/fots.hta\n");

  // "*.hta" is text/html for this user, for the shared MIME database and
  // for mime.types readers.
  EXPECT_NE(ReadFile(profile_.dataDir() + "/mime/packages/wrenvia-hta.xml").find("<glob pattern=\"*.hta\"/>"),
            std::string::npos);
  const std::string mimeTypes = ReadFile(profile_.root() + "/home/.mime.types");
  EXPECT_EQ(mimeTypes, "text/html\t\t\t\thta\n");
  // Registering again changes nothing; a user's own mapping is left alone.
  WriteFile(profile_.root() + "/home/.mime.types", "application/x-mine hta\n");
  EXPECT_TRUE(platform::RegisterHtmlApplicationType(false));
  EXPECT_EQ(ReadFile(profile_.root() + "/home/.mime.types"), "application/x-mine hta\n");

  // Without a desktop, or without xdg-open, nothing is started.
  {
    NoDesktop quiet;
    EXPECT_FALSE(nevlora::WriteStatsReport(Utf8ToUtf16(ReportFolder())).opened);
  }
  {
    ScopedEnv noOpener("PATH", "/nonexistent");
    EXPECT_FALSE(nevlora::WriteStatsReport(Utf8ToUtf16(ReportFolder())).opened);
  }
  EXPECT_EQ(reinterpret_cast<std::intptr_t>(
                ShellExecuteW(nullptr, u"open", u"/nonexistent/page.hta", nullptr, nullptr, SW_SHOWNORMAL)),
            SE_ERR_FNF);
  EXPECT_EQ(reinterpret_cast<std::intptr_t>(
                ShellExecuteW(nullptr, u"print", outcome.pagePath.c_str(), nullptr, nullptr, SW_SHOWNORMAL)),
            SE_ERR_NOASSOC);
}

TEST_F(ReportTest, CliReportGoesToTheDataFolder) {
  NoDesktop quiet;
  testing_support::RemoveTree(ReportFolder());
  const auto outcome = nevlora::WriteStatsReportForCli();
  EXPECT_EQ(Utf16ToUtf8(outcome.pagePath), ReportFolder() + "/fots.hta");
  EXPECT_TRUE(outcome.pageWritten);
  EXPECT_FALSE(outcome.opened);
  EXPECT_EQ(Report("data.js"), EmptyDataFile());
}

// --- The page in a real browser -----------------------------------------

bool HaveChromium() { return access("/usr/bin/chromium", X_OK) == 0; }

// The page's DOM after its scripts ran, as headless Chromium loads it from
// the report folder.
std::string RenderedPage(const std::string& page, const std::string& scratch) {
  const std::string command =
      "timeout 120 /usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
      "--disable-background-networking --disable-component-update --disable-sync --user-data-dir=" +
      scratch + "/chromium --dump-dom 'file://" + page + "' 2>/dev/null";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buf[65536];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    pclose(pipe);
  }
  return out;
}

// The part of the DOM from one chart's placeholder to the next element id
// listed after it.
std::string Chart(const std::string& dom, const std::string& id, const std::string& next) {
  const auto from = dom.find("id=\"" + id + "\"");
  const auto to = dom.find("id=\"" + next + "\"", from);
  if (from == std::string::npos || to == std::string::npos) return {};
  return dom.substr(from, to - from);
}

class BrowserTest : public ReportTest {
 protected:
  void SetUp() override {
    if (!HaveChromium()) GTEST_SKIP() << "chromium is not installed";
    if (access("/usr/bin/update-mime-database", X_OK) != 0) GTEST_SKIP() << "update-mime-database is missing";
    ReportTest::SetUp();
    // What the shell does before it opens a "*.hta" page.
    ASSERT_TRUE(platform::RegisterHtmlApplicationType(true));
  }
};

TEST_F(BrowserTest, PageDrawsTheChartsOfADayOfData) {
  NoDesktop quiet;
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  RecordReceivedTweets({});  // creates the database
  {
    auto store = nevlora::OpenStatsStore();
    store->BeginTransaction();
    for (int h = 0; h < 24; ++h) {
      const std::int64_t t = now - h * 3600;
      store->AddCount(t, "r", "");
      store->AddCount(t, "r", "");
      store->AddCount(t, "r", "alice");
      if (h % 2 == 0) store->AddCount(t, "r", "bob");
      if (h % 3 == 0) store->AddCount(t, "r", "carol");
    }
    store->Commit();
  }
  {
    Db db(DatabasePath());
    for (int d = 1; d < 10; ++d)
      db.Exec("INSERT OR IGNORE INTO counter VALUES ('d', 'r', '', " +
              std::to_string(nevlora::DailyCounter().PeriodStart(now - d * 86400)) + ", " + std::to_string(d) + ")");
  }
  const auto outcome = nevlora::WriteStatsReport(Utf8ToUtf16(ReportFolder()));
  const std::string dom = RenderedPage(Utf16ToUtf8(outcome.pagePath), profile_.root());
  ASSERT_NE(dom.find("Nevlora Wrenvia - Your Twitter stats"), std::string::npos) << dom.substr(0, 2000);

  const std::string receivedToday = Chart(dom, "r_hourly", "s_hourly");
  EXPECT_NE(receivedToday.find("<canvas"), std::string::npos) << receivedToday.substr(0, 2000);
  EXPECT_NE(receivedToday.find("alice (24)"), std::string::npos);
  EXPECT_NE(receivedToday.find("all (48)"), std::string::npos);
  EXPECT_NE(receivedToday.find("href=\"http://twitter.com/bob\""), std::string::npos);
  EXPECT_NE(receivedToday.find("bob (12)"), std::string::npos);
  EXPECT_NE(receivedToday.find("carol (8)"), std::string::npos);
  EXPECT_NE(receivedToday.find(":00<"), std::string::npos);  // hour ticks
  EXPECT_EQ(receivedToday.find(kNotEnoughData), std::string::npos);

  const std::string receivedMonth = Chart(dom, "r_daily", "s_daily");
  EXPECT_NE(receivedMonth.find("<canvas"), std::string::npos);
  // Nothing was sent: those charts say so.
  EXPECT_NE(Chart(dom, "s_hourly", "r_daily").find(kNotEnoughData), std::string::npos);
  EXPECT_NE(Chart(dom, "s_daily", "footer").find(kNotEnoughData), std::string::npos);
  EXPECT_NE(dom.find("Stats chart is an experimental feature."), std::string::npos);
}

TEST_F(BrowserTest, EmptyDatabaseShowsNotEnoughDataEverywhere) {
  NoDesktop quiet;
  const auto outcome = nevlora::WriteStatsReport(Utf8ToUtf16(ReportFolder()));
  const std::string dom = RenderedPage(Utf16ToUtf8(outcome.pagePath), profile_.root());
  ASSERT_NE(dom.find("Nevlora Wrenvia - Your Twitter stats"), std::string::npos) << dom.substr(0, 2000);
  const std::string charts[] = {Chart(dom, "r_hourly", "s_hourly"), Chart(dom, "s_hourly", "r_daily"),
                                Chart(dom, "r_daily", "s_daily"), Chart(dom, "s_daily", "footer")};
  for (const auto& chart : charts) {
    EXPECT_NE(chart.find(kNotEnoughData), std::string::npos) << chart;
    EXPECT_EQ(chart.find("<canvas"), std::string::npos) << chart;
  }
}

}  // namespace

// The statistics report: the data file, the page and its scripts written
// into a folder, and the page opened in the user's web browser.
#pragma once

#include <string>

// Writes the report into `folder` (which exists) and opens the page with the
// shell's "open". Nothing is reported to the user; a file that cannot be
// written is skipped.
void ShowStatsReport(const std::u16string& folder);

namespace nevlora {

// What a report run did.
struct StatsReportOutcome {
  std::u16string pagePath;  // the page "fots.hta"
  bool pageWritten = false;
  // The opener (xdg-open) was started; false when there is no desktop
  // session, no xdg-open, or it could not be started.
  bool opened = false;
};

// ShowStatsReport with its outcome; `open` false only writes the files.
StatsReportOutcome WriteStatsReport(const std::u16string& folder, bool open = true);

// For the command line: the report folder of the current user (data folder
// + "StatsUI", created with its parents) with a report written and, when
// `open` is set, opened.
StatsReportOutcome WriteStatsReportForCli(bool open = true);

// The report folder of the current user.
std::u16string StatsReportFolder();

}  // namespace nevlora

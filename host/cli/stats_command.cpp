// `wrenvia stats`: writes the statistics report and opens it.
#include <cstdio>

#include "host/cli/cli.h"
#include "platform/text.h"
#include "stats/stats_report.h"

namespace cli {

int StatsCommand(const Args& args) {
  if (!args.empty()) return PrintUsage(2);
  const nevlora::StatsReportOutcome outcome = nevlora::WriteStatsReportForCli();
  const std::string page = Utf16ToUtf8(outcome.pagePath);
  if (!outcome.pageWritten) {
    std::fprintf(stderr, "wrenvia: the statistics page could not be written to %s\n", page.c_str());
    return 1;
  }
  std::printf("Statistics page: %s\n", page.c_str());
  if (outcome.opened)
    std::printf("Opened in your web browser.\n");
  else
    std::printf("No desktop session or browser was found; open the page in a browser yourself.\n");
  return 0;
}

}  // namespace cli

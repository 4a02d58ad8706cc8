// Entry of the `wrenvia` program.
#include <clocale>
#include <cstdio>
#include <string>

#include "host/cli/addin_bridge.h"
#include "host/cli/cli.h"

int main(int argc, char** argv) {
  // Dates in stored mail use the user's own day and month names.
  std::setlocale(LC_TIME, "");
  cli::Args args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") return cli::PrintUsage(args.empty() ? 2 : 0);

  const std::string verb = args[0];
  const cli::Args rest(args.begin() + 1, args.end());
  // The demo sets up its own profile before anything reads the real one.
  if (verb == "demo") return cli::DemoCommand(rest);
  cli::StartAddin();
  if (verb == "settings") return cli::SettingsCommand(rest);
  if (verb == "account") return cli::AccountCommand(rest);
  if (verb == "stats") return cli::StatsCommand(rest);
  if (verb == "check") return cli::CheckCommand(rest);
  if (verb == "run") return cli::RunCommand(rest);
  if (verb == "search") return cli::SearchCommand(rest);
  if (verb == "folder") return cli::FolderCommand(rest);
  std::fprintf(stderr, "wrenvia: unknown command '%s'\n", verb.c_str());
  return cli::PrintUsage(2);
}

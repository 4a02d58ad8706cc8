// Entry of the `wrenvia` program.
#include <clocale>
#include <cstdio>
#include <string>

#include "host/cli/addin_bridge.h"
#include "host/cli/cli.h"

namespace {

struct Verb {
  const char* name;
  int (*run)(const cli::Args&);
};

constexpr Verb kVerbs[] = {
    {"settings", cli::SettingsCommand}, {"account", cli::AccountCommand}, {"stats", cli::StatsCommand},
    {"check", cli::CheckCommand},       {"run", cli::RunCommand},         {"search", cli::SearchCommand},
    {"folder", cli::FolderCommand},
};

}  // namespace

int main(int argc, char** argv) {
  // Dates in stored mail use the user's own day and month names.
  std::setlocale(LC_TIME, "");
  const cli::Args args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h")
    return cli::PrintUsage(args.empty() ? 2 : 0);

  const std::string verb = args[0];
  const cli::Args rest(args.begin() + 1, args.end());
  // The demo sets up its own profile before anything reads the real one.
  if (verb == "demo") return cli::DemoCommand(rest);
  for (const Verb& v : kVerbs) {
    if (verb != v.name) continue;
    cli::StartAddin();
    return v.run(rest);
  }
  std::fprintf(stderr, "wrenvia: unknown command '%s'\n", verb.c_str());
  return cli::PrintUsage(2);
}

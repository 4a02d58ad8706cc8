// The `wrenvia` command line: one function per verb group. Each returns the
// process exit status (0 success, 1 failure of the work, 2 bad usage or input).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

int SettingsCommand(const Args& args);
int AccountCommand(const Args& args);
int StatsCommand(const Args& args);
int CheckCommand(const Args& args);
int RunCommand(const Args& args);
int SearchCommand(const Args& args);
int FolderCommand(const Args& args);
int DemoCommand(const Args& args);
int PrintUsage(int status);

// Text for the terminal: values from files or the network may hold control
// characters (escape sequences), which are shown escaped ("\x1b").
std::string PrintableText(std::u16string_view text);

}  // namespace cli

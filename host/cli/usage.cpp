#include <cstdio>

#include "host/cli/cli.h"

namespace cli {

int PrintUsage(int status) {
  std::FILE* out = status == 0 ? stdout : stderr;
  std::fputs(
      "usage: wrenvia COMMAND ...\n"
      "\n"
      "  settings list              every option and account value, then the saved searches\n"
      "  settings get NAME          one value by its registry name\n"
      "  settings set NAME VALUE    change one value (numbers: decimal; flags: 0/1, on/off, true/false)\n"
      "  account password           read the password from standard input and store it protected\n"
      "  stats                      write the statistics page, print its path and open it in a browser\n",
      out);
  return status;
}

}  // namespace cli

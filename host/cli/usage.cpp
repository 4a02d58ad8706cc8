#include <cstdio>

#include "host/cli/cli.h"

namespace cli {

int PrintUsage(int status) {
  std::FILE* out = status == 0 ? stdout : stderr;
  std::fputs(
      "usage: wrenvia COMMAND ...\n"
      "\n"
      "  demo [--profile DIR]       the whole road of a tweet against a local stand-in service, on a\n"
      "                             throw-away profile (or DIR); never touches your own profile\n"
      "\n"
      "  settings list              every option and account value, then the saved searches\n"
      "  settings get NAME          one value by its registry name\n"
      "  settings set NAME VALUE    change one value (numbers: decimal; flags: 0/1, on/off, true/false)\n"
      "  account password           read the password from standard input and store it protected\n"
      "  account password --clear   remove the stored password\n"
      "  stats                      write the statistics page, print its path and open it in a browser\n"
      "\n"
      "  check                      fetch new tweets, replies and direct messages now, then the saved searches\n"
      "  run                        poll on the configured schedule until Ctrl+C, printing each tweet stored\n"
      "  search list                the saved searches\n"
      "  search add QUERY [--folder NAME]\n"
      "  search edit N [--query QUERY] [--folder NAME]\n"
      "  search delete N\n"
      "  folder show                where tweets are stored\n"
      "  folder new NAME            store new tweets in the mail folder NAME (created when missing)\n"
      "  folder sent NAME           store the tweets you post in NAME\n"
      "\n"
      "Folder names are paths below the Inbox (\"Twitter\", \"Twitter/Searches\").\n",
      out);
  return status;
}

}  // namespace cli

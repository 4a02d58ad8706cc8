// `wrenvia account password`: the password from standard input, stored
// protected.
#include <signal.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "host/cli/cli.h"
#include "host/cli/run_lock.h"
#include "platform/text.h"
#include "settings/account.h"

namespace cli {
namespace {

termios g_savedTerminal;

// Puts echo back before the signal ends the program, so an interrupted
// prompt never leaves the terminal silent.
void RestoreTerminalAndRaise(int sig) {
  ::tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTerminal);
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

// Reads one line from standard input, without echo when it is a terminal.
bool ReadSecretLine(std::string* line) {
  const bool tty = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &g_savedTerminal) == 0;
  struct sigaction restore {}, old[4] {};
  const int signals[4] = {SIGINT, SIGTERM, SIGTSTP, SIGQUIT};
  if (tty) {
    restore.sa_handler = RestoreTerminalAndRaise;
    sigemptyset(&restore.sa_mask);
    for (int i = 0; i < 4; ++i) ::sigaction(signals[i], &restore, &old[i]);
    termios quiet = g_savedTerminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::fputs("Password: ", stderr);
  }
  const bool ok = static_cast<bool>(std::getline(std::cin, *line));
  if (tty) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
    for (int i = 0; i < 4; ++i) ::sigaction(signals[i], &old[i], nullptr);
    std::fputs("\n", stderr);
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return ok || !line->empty();
}

// Wipes a clear-text copy when it goes out of scope, on every path.
template <class S>
struct Wiped {
  S value;
  ~Wiped() { explicit_bzero(value.data(), value.size() * sizeof(typename S::value_type)); }
};

int StorePassword(const std::u16string& password, bool clear) {
  CTwitterAccount& account = GetAccount();
  auto guard = account.Lock();
  if (!account.SetPassword(password)) {
    std::fprintf(stderr, "wrenvia: the password could not be protected; nothing was changed\n");
    return 1;
  }
  const LONG rc = account.Save();
  if (rc != ERROR_SUCCESS) {
    std::fprintf(stderr, "wrenvia: the account could not be saved (error %d)\n", static_cast<int>(rc));
    return 1;
  }
  std::printf(clear ? "The password was cleared.\n" : "The password is stored.\n");
  return 0;
}

}  // namespace

int AccountCommand(const Args& args) {
  if (RefuseWhilePolling()) return 2;
  if (args.size() == 2 && args[0] == "password" && args[1] == "--clear") return StorePassword(u"", true);
  if (args.size() != 1 || args[0] != "password") return PrintUsage(2);
  Wiped<std::string> line;
  if (!ReadSecretLine(&line.value) || line.value.empty()) {
    std::fprintf(stderr,
                 "wrenvia: no password was given on standard input ('wrenvia account password --clear' removes "
                 "it); nothing was changed\n");
    return 2;
  }
  Wiped<std::u16string> password{Utf8ToUtf16(line.value)};
  Wiped<std::string> check{Utf16ToUtf8(password.value)};
  if (check.value != line.value) {
    std::fprintf(stderr, "wrenvia: the password is not valid UTF-8 text; nothing was changed\n");
    return 2;
  }
  return StorePassword(password.value, false);
}

}  // namespace cli

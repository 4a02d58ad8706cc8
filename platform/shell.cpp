#include "platform/shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/known_folders.h"
#include "platform/text.h"

namespace {

constexpr char kMimePackage[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- Written by Wrenvia: its statistics page is an HTML application (*.hta),\n"
    "     which the web browser shows as a web page. -->\n"
    "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
    "  <mime-type type=\"text/html\">\n"
    "    <glob pattern=\"*.hta\"/>\n"
    "  </mime-type>\n"
    "</mime-info>\n";

HINSTANCE Result(std::intptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

bool IsSet(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

std::string FindOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) continue;
    std::string candidate = dir + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

bool EndsWithIgnoreCase(const std::string& s, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  if (s.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char c = s[s.size() - n + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

// "http://...", "mailto:..." and the like go to the opener as they are.
bool IsAddress(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '+' || s[i] == '-' || s[i] == '.'))
    ++i;
  if (i < 2 || i >= s.size() || s[i] != ':' || !std::isalpha(static_cast<unsigned char>(s[0]))) return false;
  return s.compare(i, 3, "://") == 0 || s.compare(0, i, "mailto") == 0;
}

bool ModifiedTime(const std::string& path, timespec* t) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  *t = st.st_mtim;
  return true;
}

bool Older(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// Whether a mime.types text already names "hta" as an extension.
bool MimeTypesNamesHta(const std::string& text) {
  std::stringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const auto hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    std::stringstream words(line);
    std::string word;
    bool first = true;
    while (words >> word) {
      if (!first && (word == "hta" || word == "HTA")) return true;
      first = false;
    }
  }
  return false;
}

bool AddToMimeTypes(const std::string& home) {
  const std::string path = home + "/.mime.types";
  std::string text;
  if (!platform::ReadWholeFile(path, &text)) {
    if (access(path.c_str(), F_OK) == 0) return false;  // there but unreadable: leave it alone
    return platform::WriteFileAtomically(path, "text/html\t\t\t\thta\n");
  }
  if (MimeTypesNamesHta(text)) return true;
  // Appending keeps the user's file (and a link to it) as it is; one short
  // write with O_APPEND cannot interleave with another appender.
  std::string line = (!text.empty() && text.back() != '\n') ? "\n" : "";
  line += "text/html\t\t\t\thta\n";
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  return close(fd) == 0 && ok;
}

// Runs a program and waits at most `timeout` for it; false when it could
// not run, failed, or took too long (then it is killed).
bool RunAndWait(const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    const int nul = open("/dev/null", O_RDWR);
    if (nul >= 0) {
      dup2(nul, 0);
      dup2(nul, 1);
      dup2(nul, 2);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (r < 0 && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string MimeFolder() {
  const std::string dataHome = platform::XdgFolder("XDG_DATA_HOME", ".local/share");
  return dataHome.empty() ? std::string() : dataHome + "/mime";
}

}  // namespace

namespace platform {

bool RegisterHtmlApplicationType(bool waitForDatabase, bool* updateNeeded) {
  if (updateNeeded) *updateNeeded = false;
  const std::string mime = MimeFolder();
  if (mime.empty()) return false;
  const std::string packages = mime + "/packages";
  const std::string package = packages + "/wrenvia-hta.xml";
  bool ok = true;
  std::string current;
  if (!ReadWholeFile(package, &current) || current != kMimePackage) {
    ok = platform::MakeFolders(packages, 0755) && WriteFileAtomically(package, kMimePackage);
  }
  // The database is current when its cache is newer than the package.
  timespec packageTime{}, cacheTime{};
  const bool stale = ok && ModifiedTime(package, &packageTime) &&
                     (!ModifiedTime(mime + "/mime.cache", &cacheTime) || Older(cacheTime, packageTime));
  if (stale) {
    if (waitForDatabase) {
      const std::string tool = FindOnPath("update-mime-database");
      if (!tool.empty()) RunAndWait({tool, mime}, std::chrono::seconds(30));
    } else if (updateNeeded) {
      *updateNeeded = true;
    }
  }
  const char* home = std::getenv("HOME");
  if (home && *home) ok = AddToMimeTypes(home) && ok;
  return ok;
}

}  // namespace platform

HINSTANCE ShellExecuteW(void*, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR directory, int) {
  if (verb && *verb && std::u16string_view(verb) != u"open") return Result(SE_ERR_NOASSOC);
  if (!file || !*file) return Result(SE_ERR_FNF);
  std::string target = Utf16ToUtf8(file);
  const std::string dir = directory && *directory ? Utf16ToUtf8(directory) : std::string();
  const bool address = IsAddress(target);
  if (!address) {
    if (target[0] != '/' && !dir.empty()) target = dir + "/" + target;
    if (access(target.c_str(), F_OK) != 0) return Result(SE_ERR_FNF);
  }
  const std::string opener = FindOnPath("xdg-open");
  if (opener.empty() || !(IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("BROWSER")))
    return Result(SE_ERR_NOASSOC);

  std::vector<std::string> update;
  if (!address && EndsWithIgnoreCase(target, ".hta")) {
    bool needed = false;
    platform::RegisterHtmlApplicationType(false, &needed);
    const std::string tool = needed ? FindOnPath("update-mime-database") : std::string();
    if (!tool.empty()) update = {tool, MimeFolder()};
  }

  // Everything the child needs is made before fork: after it only
  // async-signal-safe calls are allowed.
  std::vector<char*> openArgv{const_cast<char*>(opener.c_str()), const_cast<char*>(target.c_str()), nullptr};
  std::vector<char*> updateArgv;
  for (auto& a : update) updateArgv.push_back(a.data());
  updateArgv.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) return Result(SE_ERR_OOM);
  if (child == 0) {
    // The middle process leaves at once; the opener, in a session of its
    // own, is adopted by init and never becomes our zombie.
    setsid();
    const pid_t grandchild = fork();
    if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
    if (!dir.empty() && chdir(dir.c_str()) != 0) {
      // The opener does not need the folder; go on from where we are.
    }
    const int nul = open("/dev/null", O_RDWR);
    if (nul >= 0) {
      dup2(nul, 0);
      dup2(nul, 1);
      dup2(nul, 2);
    }
    syscall(SYS_close_range, 3u, ~0u, 0u);
    if (updateArgv.size() > 1) {
      const pid_t u = fork();
      if (u == 0) {
        execv(updateArgv[0], updateArgv.data());
        _exit(127);
      }
      if (u > 0) waitpid(u, nullptr, 0);
    }
    execv(openArgv[0], openArgv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0) return Result(SE_ERR_OOM);
  return Result(42);
}

#include "platform/sound.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/text.h"

extern char** environ;

namespace {

std::atomic<bool> g_playing{false};

bool IsExecutable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

std::string FindOnPath(const char* name) {
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::string all(path);
  std::size_t pos = 0;
  while (pos <= all.size()) {
    const auto colon = all.find(':', pos);
    std::string dir = all.substr(pos, colon == std::string::npos ? std::string::npos : colon - pos);
    if (dir.empty()) dir = ".";
    const std::string candidate = dir + "/" + name;
    if (IsExecutable(candidate)) return candidate;
    if (colon == std::string::npos) break;
    pos = colon + 1;
  }
  return {};
}

std::string FindPlayer() {
  if (const char* env = std::getenv("WRENVIA_SOUND_PLAYER"); env && *env) return env;
  // A desktop sound server first; ALSA only when a sound card is there.
  for (const char* name : {"paplay", "pw-play"}) {
    std::string p = FindOnPath(name);
    if (!p.empty()) return p;
  }
  struct stat st;
  if (::stat("/dev/snd", &st) == 0) return FindOnPath("aplay");
  return {};
}

}  // namespace

namespace platform {
bool IsSoundPlaying() { return g_playing; }
}  // namespace platform

BOOL PlaySoundW(LPCWSTR sound, void*, DWORD flags) {
  if (!sound || !(flags & SND_FILENAME)) return FALSE;
  const std::string file = Utf16ToUtf8(sound);
  struct stat st;
  if (file.empty() || ::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return FALSE;
  const std::string player = FindPlayer();
  if (player.empty()) return FALSE;
  // A sound already playing is never interrupted.
  bool expected = false;
  if (!g_playing.compare_exchange_strong(expected, true)) return FALSE;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The player must not inherit the caller's blocked signals (the command
  // line blocks SIGINT while it polls): Ctrl+C stops it too.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string arg0 = player;
  // A file name starting with "-" must not read as an option.
  std::string arg1 = file[0] == '-' ? "./" + file : file;
  char* argv[] = {arg0.data(), arg1.data(), nullptr};
  pid_t pid = 0;
  const int rc = player.find('/') == std::string::npos
                     ? ::posix_spawnp(&pid, player.c_str(), &actions, &attributes, argv, environ)
                     : ::posix_spawn(&pid, player.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) {
    g_playing = false;
    return FALSE;
  }
  // Reaped in the background so the caller never waits for the sound.
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    g_playing = false;
  }).detach();
  return TRUE;
}

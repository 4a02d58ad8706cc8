#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/sound.h"
#include "platform/text.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_profile.h"

namespace {

using testing_support::FileExists;
using testing_support::TempProfile;
using testing_support::WriteFile;

constexpr DWORD kFlags = SND_FILENAME | SND_NOWAIT | SND_NODEFAULT | SND_ASYNC;

bool WaitFor(const std::string& path, int ms) {
  for (int i = 0; i < ms / 10; ++i) {
    if (FileExists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return FileExists(path);
}

TEST(PlaySound, PlaysInTheBackgroundNeverInterruptsAndSkipsMissingFiles) {
  TempProfile profile;
  const std::string player = profile.root() + "/player.sh";
  const std::string release = profile.root() + "/release";
  // A stand-in player that records each start and plays until released.
  WriteFile(player, "#!/bin/sh\necho \"$1\" >> " + profile.root() + "/played\nwhile [ ! -e " + release +
                        " ]; do sleep 0.02; done\n");
  ::chmod(player.c_str(), 0755);
  testing_support::ScopedEnv usePlayer("WRENVIA_SOUND_PLAYER", player.c_str());
  const std::string sound = profile.root() + "/new.wav";
  WriteFile(sound, "RIFF");

  EXPECT_FALSE(PlaySoundW(Utf8ToUtf16(profile.root() + "/missing.wav").c_str(), nullptr, kFlags));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(PlaySoundW(Utf8ToUtf16(sound).c_str(), nullptr, kFlags));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));  // did not wait for the sound
  ASSERT_TRUE(WaitFor(profile.root() + "/played", 5000));
  // Still playing: the second sound is not started.
  EXPECT_FALSE(PlaySoundW(Utf8ToUtf16(sound).c_str(), nullptr, kFlags));
  WriteFile(release, "");
  // Once the first ended, a new one plays again.
  bool playedAgain = false;
  for (int i = 0; i < 500 && !playedAgain; ++i) {
    playedAgain = PlaySoundW(Utf8ToUtf16(sound).c_str(), nullptr, kFlags);
    if (!playedAgain) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(playedAgain);
  for (int i = 0; i < 500 && testing_support::ReadFile(profile.root() + "/played").size() < 2 * (sound.size() + 1); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(testing_support::ReadFile(profile.root() + "/played"), sound + "\n" + sound + "\n");
}

TEST(PlaySound, SilentWithoutAnyPlayer) {
  TempProfile profile;
  const std::string sound = profile.root() + "/new.wav";
  WriteFile(sound, "RIFF");
  testing_support::ScopedEnv noPlayers("PATH", profile.root().c_str());
  EXPECT_FALSE(PlaySoundW(Utf8ToUtf16(sound).c_str(), nullptr, kFlags));
}

}  // namespace

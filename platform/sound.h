// PlaySoundW for the new-tweet sound: a sound file played by an external
// player process in the background.
#pragma once

#include "platform/win32.h"

constexpr DWORD SND_SYNC = 0x0000;
constexpr DWORD SND_ASYNC = 0x0001;
constexpr DWORD SND_NODEFAULT = 0x0002;
constexpr DWORD SND_NOWAIT = 0x2000;
constexpr DWORD SND_FILENAME = 0x00020000;

// With SND_FILENAME | SND_ASYNC | SND_NOWAIT | SND_NODEFAULT: returns at once;
// plays nothing (FALSE) for a missing file, while another sound of this
// process is still playing, or where no player or sound device is found.
// The player is the first of paplay, pw-play and aplay on the PATH, or the
// command in $WRENVIA_SOUND_PLAYER (given the file as its one argument).
BOOL PlaySoundW(LPCWSTR sound, void* module, DWORD flags);

namespace platform {
// True while a sound started by PlaySoundW is still playing.
bool IsSoundPlaying();
}  // namespace platform

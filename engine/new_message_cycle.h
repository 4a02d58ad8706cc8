// One run of the new-message cycle: fetch the friends timeline, @replies and
// direct messages, store each new tweet, feed the ticker, fetch the sender
// pictures, play the sound and count the tweets.
#pragma once

#include "engine/cycle_report.h"

namespace nevlora {
class CTwitterRunner;
}

// StreamMask bits: @replies and direct messages (the friends timeline does not
// depend on the mask).
constexpr int kStreamReplies = 1;
constexpr int kStreamDirect = 2;

// An interactive cycle (the "check now" command, on the UI thread) reports a
// failed fetch in a message box owned by `parentWindow`; the background
// cycle never shows one and does nothing while polling is off.
void CheckNewMessages(nevlora::CTwitterRunner& runner, bool interactive, void* parentWindow, int streamMask,
                      CycleReport* report = nullptr);

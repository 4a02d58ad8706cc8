// What a cycle did, for callers that want to know (the command line). The
// cycles themselves report only through the log, the mailbox and, when
// interactive, a message box.
#pragma once

#include <functional>
#include <string>

#include "client/records.h"

struct CycleReport {
  int fetched = 0;      // tweets the fetches returned (duplicates included)
  int delivered = 0;    // items created
  int resultCode = 0;   // the friends timeline's (or the last failed search's) result code
  std::u16string message;  // the user's message for a failed fetch
  // Called for each tweet stored, with the new item's entry id.
  std::function<void(const TwitterStatus& tweet, const std::u16string& entryId)> onDelivered;
};

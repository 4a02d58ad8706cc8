// What a cycle did, for callers that want to know (the command line). The
// cycles themselves report only through the log, the mailbox and, when
// interactive, a message box.
#pragma once

#include <functional>
#include <string>

#include "client/records.h"

struct CycleReport {
  int fetched = 0;         // tweets the fetches returned (duplicates included)
  int delivered = 0;       // items created
  int failed = 0;          // new tweets whose item could not be created
  int resultCode = 0;      // the friends timeline's result code (0: not fetched)
  int failedSearches = 0;  // saved searches whose request failed
  std::u16string message;  // the user's message for a failed timeline fetch
  // Called for each tweet stored, with the new item's entry id.
  using DeliveredFn = std::function<void(const TwitterStatus& tweet, const std::u16string& entryId)>;
  DeliveredFn onDelivered;
};

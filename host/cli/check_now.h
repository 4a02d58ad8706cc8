// What "Check For New Tweets Now" does, for the command line's verbs: an
// interactive new-message cycle on a temporary runner that is never started,
// then the saved searches.
#pragma once

#include "engine/cycle_report.h"

namespace cli {

struct CheckOutcome {
  CycleReport timeline;
  CycleReport searches;
  // False when the timeline could not be fetched (the message box said why).
  bool fetched() const { return timeline.resultCode >= 0; }
};

CheckOutcome CheckNow(const CycleReport::DeliveredFn& onDelivered = {});

}  // namespace cli

#include "host/cli/check_now.h"

#include "engine/new_message_cycle.h"
#include "engine/saved_search_cycle.h"
#include "engine/twitter_runner.h"

namespace cli {

CheckOutcome CheckNow(const CycleReport::DeliveredFn& onDelivered) {
  CheckOutcome outcome;
  outcome.timeline.onDelivered = onDelivered;
  outcome.searches.onDelivered = onDelivered;
  nevlora::CTwitterRunner runner;
  CheckNewMessages(runner, true, nullptr, kStreamReplies | kStreamDirect, &outcome.timeline);
  if (outcome.fetched()) RunSavedSearches(runner, &outcome.searches);
  return outcome;
}

}  // namespace cli

#include "client/records.h"

#include <ctime>

TwitterStatus::TwitterStatus() : receivedAt(static_cast<std::int64_t>(std::time(nullptr))) {}

// The stand-in's data and the lock its worker threads share it under.
#pragma once

#include <mutex>

#include "tools/standin/seed.h"

namespace standin {

struct DataStore {
  std::mutex mutex;
  SeedData data;
};

class StandIn;
struct Options;

// The Twitter API and search routes, and the generated profile pictures.
void RegisterTwitterRoutes(StandIn& service, DataStore& store, const Options& options);

}  // namespace standin

// `wrenvia run` keeps its own copy of the settings and writes it back after
// every cycle, so commands that change settings or deliver mail from another
// shell would be undone (or deliver twice) while it polls. It holds this
// lock; those commands check it and refuse.
#pragma once

#include <string>

namespace cli {

class RunLock {
 public:
  RunLock() = default;
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Takes the lock for this process; false (with the holder's process id)
  // when another `wrenvia run` holds it.
  bool Acquire(int* holder);

 private:
  int fd_ = -1;
};

// True, with a message on standard error, when a `wrenvia run` is polling
// with this profile: the caller then changes nothing and exits with 2.
bool RefuseWhilePolling();

}  // namespace cli

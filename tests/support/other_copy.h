// Tests that start the real program need the single-instance lock free: a
// copy of the program that the test did not start (a player's, a demo's)
// holds it, and the test's own copy would end at once. Such tests skip.
#pragma once

#include "platform/instance_mutex.h"

inline constexpr const char* kOtherCopy =
    "a copy of the program that this test did not start is running on this machine and holds "
    "the single-instance lock";

// True when some other process holds the instance lock. Taking it to find
// out gives it back at once.
inline bool AnotherCopyRuns() {
  bool alreadyExists = false;
  const InstanceMutexHandle handle = CreateInstanceMutex(kInstanceMutexName, &alreadyExists);
  CloseInstanceMutex(handle);
  return handle != nullptr && alreadyExists;
}

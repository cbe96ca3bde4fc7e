// The named mutex that keeps one instance of the program running.
#pragma once

#include <string>

using InstanceMutexHandle = void*;

inline constexpr const char* kInstanceMutexName =
    "Global\\Q9Q9Q9-Q9Q9Q9Q9-Q9Q9-0029-2100-Q9Q9Q9Q9Q9Q9";

// Creates the named mutex with the caller as initial owner. Returns null when
// it cannot be created; otherwise *alreadyExists tells whether another
// process had it first. The mutex stays held until CloseInstanceMutex or the
// end of the process, whichever comes first.
InstanceMutexHandle CreateInstanceMutex(const std::string& name, bool* alreadyExists);
void CloseInstanceMutex(InstanceMutexHandle handle);

// Gives up this process's single-instance lock, so that a copy of the program
// started from here is not turned away while this one is still ending. The
// code that holds the lock says how with SetInstanceMutexRelease; until it
// does, this does nothing. Any thread; once is enough.
void ReleaseInstanceMutex();
void SetInstanceMutexRelease(void (*release)());

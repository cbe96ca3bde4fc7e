// Detached worker threads. Nothing joins them: callers learn of their end
// through a flag the thread clears (release) and the caller polls (acquire).
#pragma once

#include <cstdint>

// Start routine: one untyped pointer argument, 32-bit result.
using ThreadProc = uint32_t (*)(void* argument);

// Starts proc(argument) on a new thread with the default stack size. Stores
// the new thread's id in *threadId when threadId is not null. Returns false
// when the thread cannot be created; proc then never runs.
[[nodiscard]] bool StartThread(ThreadProc proc, void* argument, uint32_t* threadId);

// Id of the calling thread, as StartThread reports it for threads it made.
uint32_t CurrentThreadId();

// Tests may make every later StartThread fail, to exercise that path.
void SetThreadStartRefusedForTesting(bool refused);

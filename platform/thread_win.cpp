#include <windows.h>

#include <atomic>

#include "platform/thread.h"

namespace {
std::atomic<bool> refusedForTesting{false};

struct Start {
  ThreadProc proc;
  void* argument;
};

DWORD WINAPI Trampoline(LPVOID raw) {
  Start start = *static_cast<Start*>(raw);
  delete static_cast<Start*>(raw);
  return start.proc(start.argument);
}
}  // namespace

uint32_t CurrentThreadId() { return GetCurrentThreadId(); }

bool StartThread(ThreadProc proc, void* argument, uint32_t* threadId) {
  if (refusedForTesting.load()) return false;
  auto* start = new Start{proc, argument};
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, Trampoline, start, 0, &id);
  if (thread == nullptr) {
    delete start;
    return false;
  }
  // Nothing joins the thread; its end is signalled through a flag.
  CloseHandle(thread);
  if (threadId != nullptr) *threadId = id;
  return true;
}

void SetThreadStartRefusedForTesting(bool refused) { refusedForTesting = refused; }

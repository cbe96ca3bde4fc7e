#include <pthread.h>

#include <atomic>

#include "platform/thread.h"

namespace {
std::atomic<bool> refusedForTesting{false};
std::atomic<uint32_t> nextThreadId{1};
thread_local uint32_t currentId = 0;

struct Start {
  ThreadProc proc;
  void* argument;
  uint32_t id;
};

void* Trampoline(void* raw) {
  Start start = *static_cast<Start*>(raw);
  delete static_cast<Start*>(raw);
  currentId = start.id;
  start.proc(start.argument);
  return nullptr;
}
}  // namespace

uint32_t CurrentThreadId() {
  if (currentId == 0) currentId = nextThreadId.fetch_add(1);
  return currentId;
}

bool StartThread(ThreadProc proc, void* argument, uint32_t* threadId) {
  if (refusedForTesting.load()) return false;
  auto* start = new Start{proc, argument, nextThreadId.fetch_add(1)};
  const uint32_t id = start->id;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const int error = pthread_create(&thread, &attributes, Trampoline, start);
  pthread_attr_destroy(&attributes);
  if (error != 0) {
    delete start;
    return false;
  }
  if (threadId != nullptr) *threadId = id;
  return true;
}

void SetThreadStartRefusedForTesting(bool refused) { refusedForTesting = refused; }

#include "platform/instance_mutex.h"

#include <atomic>

namespace {
std::atomic<void (*)()> releaseHook{nullptr};
}  // namespace

void SetInstanceMutexRelease(void (*release)()) { releaseHook.store(release); }

void ReleaseInstanceMutex() {
  if (void (*release)() = releaseHook.load()) release();
}

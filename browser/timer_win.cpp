#include <windows.h>

#include "browser/timer.h"

namespace {
void CALLBACK TimerQueueCallback(void* parameter, BOOLEAN) {
  CTimer::Tick(static_cast<CTimer*>(parameter));
}
}  // namespace

bool CTimer::Start(uint32_t dueMs, uint32_t periodMs) {
  tickCount_.exchange(0);
  HANDLE handle = nullptr;
  if (!CreateTimerQueueTimer(&handle, nullptr, TimerQueueCallback, this, dueMs, periodMs,
                             WT_EXECUTEINTIMERTHREAD)) {
    return false;
  }
  timerHandle_ = handle;
  return true;
}

void CTimer::Stop() {
  if (timerHandle_ == nullptr) return;
  // No completion event: a tick that is running finishes on its own.
  DeleteTimerQueueTimer(nullptr, timerHandle_, nullptr);
  timerHandle_ = nullptr;
}

#include <signal.h>
#include <time.h>

#include "browser/timer.h"

namespace {
void TimerThreadCallback(sigval value) { CTimer::Tick(static_cast<CTimer*>(value.sival_ptr)); }

timespec FromMs(uint32_t ms) {
  return {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
}
}  // namespace

bool CTimer::Start(uint32_t dueMs, uint32_t periodMs) {
  tickCount_.exchange(0);
  sigevent event{};
  event.sigev_notify = SIGEV_THREAD;
  event.sigev_notify_function = TimerThreadCallback;
  event.sigev_value.sival_ptr = this;
  timer_t id;
  if (timer_create(CLOCK_MONOTONIC, &event, &id) != 0) return false;
  itimerspec when{};
  when.it_value = FromMs(dueMs == 0 ? 1 : dueMs);  // 0 would disarm it
  when.it_interval = FromMs(periodMs);
  if (timer_settime(id, 0, &when, nullptr) != 0) {
    timer_delete(id);
    return false;
  }
  static_assert(sizeof(timer_t) <= sizeof(void*));
  timerHandle_ = reinterpret_cast<void*>(id);
  return true;
}

void CTimer::Stop() {
  if (timerHandle_ == nullptr) return;
  timer_delete(reinterpret_cast<timer_t>(timerHandle_));
  timerHandle_ = nullptr;
}

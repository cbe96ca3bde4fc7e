#include "browser/timer.h"

CTimer::~CTimer() { Stop(); }

void CTimer::Tick(CTimer* timer) {
  timer->tickCount_.fetch_add(1);
  timer->OnTimer();
}

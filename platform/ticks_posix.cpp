#include <time.h>

#include "platform/ticks.h"

uint32_t TickCount() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + now.tv_nsec / 1000000;
  return static_cast<uint32_t>(ms);
}

void SleepMs(uint32_t ms) {
  timespec pause{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&pause, &pause) != 0) {
  }
}

#include <windows.h>

#include "platform/ticks.h"

uint32_t TickCount() { return GetTickCount(); }

void SleepMs(uint32_t ms) { Sleep(ms); }

#include "app/ticks.h"

#include <windows.h>

uint32_t TickCount() { return GetTickCount(); }

void SleepMs(uint32_t ms) { Sleep(ms); }

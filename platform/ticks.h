#pragma once

#include <cstdint>

// Milliseconds since an arbitrary start, wrapping at 2^32 (GetTickCount).
uint32_t TickCount();

void SleepMs(uint32_t ms);

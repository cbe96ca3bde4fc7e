// Runs a piece of the program that may wait for ever when it goes wrong (a
// wait for the user's click, a fatal display) with a bound of its own, so a
// test fails at once with what it saw instead of running into CTest's
// time-out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Runs body on a thread of its own and waits up to limitMs for it to end.
// Past the bound nothing can stop the body, so the test process ends with a
// failure, after printing what, the bound and what describe() gives (the
// log, the screen). Returns once the body has ended.
void RunWithin(uint32_t limitMs, const std::string& what, const std::function<void()>& body,
               const std::function<std::string()>& describe);

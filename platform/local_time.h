#pragma once

#include <ctime>

// The calendar time t in the system's local time zone (with its daylight
// saving rules). Thread-safe, unlike std::localtime.
std::tm LocalTime(std::time_t t);

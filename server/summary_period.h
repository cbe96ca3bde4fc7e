// The period of the dashboard and its API: whole UTC days from the query's
// from and to (YYYY-MM-DD), the last 30 days by default.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "server/query_validation.h"
#include "server/summary.h"

inline constexpr int kDefaultPeriodDays = 30;
// One page shows one bar per day; a longer span is refused, not cut.
inline constexpr int kMaxPeriodDays = 366;

// Reads from and to (each optional) for the day now falls on. Without to,
// the period ends today; without from, it starts 29 days before its end.
// False, with a short reason in error, for a date that is not a real
// calendar day, from after to, or more than kMaxPeriodDays days.
[[nodiscard]] bool ReadSummaryPeriod(const QueryPairs& pairs, std::time_t now,
                                     SummaryPeriod& period, std::string& error);

// Seconds since the epoch of a strict "YYYY-MM-DD" (midnight UTC); false for
// anything else, 2026-02-30 included.
[[nodiscard]] bool ParseDay(const std::string& text, std::time_t& midnight);

// "YYYY-MM-DD" of the UTC day at seconds.
std::string DayText(std::time_t seconds);

// "YYYY-MM-DDTHH:MM:SS.000Z", the time form of the events table.
std::string TimeText(std::time_t seconds);

// Every day of the period in order.
std::vector<std::string> DaysOf(const SummaryPeriod& period);

// The day after day ("YYYY-MM-DD"), the period's exclusive end in queries.
std::string DayAfter(const std::string& day);

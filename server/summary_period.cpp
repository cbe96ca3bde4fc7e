#include "server/summary_period.h"

#include <cstdio>

namespace {

constexpr std::time_t kDay = 24 * 60 * 60;

bool Digits(const std::string& text, size_t at, size_t count, int& value) {
  value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

bool ParseDay(const std::string& text, std::time_t& midnight) {
  int year = 0, month = 0, day = 0;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !Digits(text, 0, 4, year) ||
      !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day) || year < 1970) {
    return false;
  }
  std::tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  midnight = timegm(&parts);
  // timegm rolls 02-30 over into March; a real day reads back the same.
  return midnight != static_cast<std::time_t>(-1) && DayText(midnight) == text;
}

std::string DayText(std::time_t seconds) {
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday);
  return text;
}

std::string TimeText(std::time_t seconds) {
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.000Z", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

std::string DayAfter(const std::string& day) {
  std::time_t midnight = 0;
  return ParseDay(day, midnight) ? DayText(midnight + kDay) : std::string();
}

std::vector<std::string> DaysOf(const SummaryPeriod& period) {
  std::vector<std::string> days;
  std::time_t first = 0, last = 0;
  if (!ParseDay(period.from, first) || !ParseDay(period.to, last)) return days;
  for (std::time_t at = first; at <= last && days.size() < kMaxPeriodDays; at += kDay) {
    days.push_back(DayText(at));
  }
  return days;
}

bool ReadSummaryPeriod(const QueryPairs& pairs, std::time_t now, SummaryPeriod& period,
                       std::string& error) {
  std::time_t last = 0;
  std::time_t first = 0;
  const auto to = pairs.find("to");
  if (to == pairs.end()) {
    last = now - now % kDay;
  } else if (!ParseDay(to->second, last)) {
    error = "to must be a date YYYY-MM-DD";
    return false;
  }
  const auto from = pairs.find("from");
  if (from == pairs.end()) {
    first = last - (kDefaultPeriodDays - 1) * kDay;
  } else if (!ParseDay(from->second, first)) {
    error = "from must be a date YYYY-MM-DD";
    return false;
  }
  if (first > last) {
    error = "from is after to";
    return false;
  }
  if ((last - first) / kDay + 1 > kMaxPeriodDays) {
    error = "the period is longer than " + std::to_string(kMaxPeriodDays) + " days";
    return false;
  }
  period.from = DayText(first);
  period.to = DayText(last);
  return true;
}

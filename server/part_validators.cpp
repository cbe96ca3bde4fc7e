#include "server/part_validators.h"

#include <cstdio>
#include <ctime>

std::string PartEntityTag(const PartFile& file) {
  char text[128];
  std::snprintf(text, sizeof text, "\"%llx-%llx-%llx-%llx\"",
                static_cast<unsigned long long>(file.Inode()),
                static_cast<unsigned long long>(file.Size()),
                static_cast<unsigned long long>(file.ModifiedNs()),
                static_cast<unsigned long long>(file.ChangedNs()));
  return text;
}

std::string HttpDate(int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&time, &utc);
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[utc.tm_wday % 7],
                utc.tm_mday, kMonths[utc.tm_mon % 12], utc.tm_year + 1900, utc.tm_hour,
                utc.tm_min, utc.tm_sec);
  return text;
}

bool IfRangeAllowsRange(const std::string& ifRange, const std::string& etag,
                        const std::string& lastModified) {
  const size_t first = ifRange.find_first_not_of(" \t");
  if (first == std::string::npos) return true;
  const size_t last = ifRange.find_last_not_of(" \t");
  const std::string value = ifRange.substr(first, last - first + 1);
  if (value.rfind("W/", 0) == 0) return false;  // weak: never for a range
  if (value[0] == '"') return value == etag;
  return value == lastModified;
}

#include "server/query_validation.h"

#include <limits>

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Digits only, accumulated as a magnitude that must not pass limit.
bool ParseMagnitude(const std::string& digits, uint64_t limit, uint64_t& value) {
  if (!AllDigits(digits)) return false;
  value = 0;
  for (char c : digits) {
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (limit - digit) / 10) return false;
    value = value * 10 + digit;
  }
  return true;
}

// Finds key; false with "missing <key>" when absent or empty.
bool Require(const QueryPairs& pairs, const char* key, std::string& value, std::string& error) {
  const auto found = pairs.find(key);
  if (found == pairs.end() || found->second.empty()) {
    error = std::string("missing ") + key;
    return false;
  }
  value = found->second;
  return true;
}

bool CheckCode(const QueryPairs& pairs, const char* key, std::string& value, std::string& error) {
  if (!Require(pairs, key, value, error)) return false;
  if (value.size() > kMaxCodeDigits) {
    error =
        std::string(key) + " is too long (at most " + std::to_string(kMaxCodeDigits) + " digits)";
    return false;
  }
  if (!AllDigits(value)) {
    error = std::string(key) + " must be decimal digits";
    return false;
  }
  return true;
}

}  // namespace

bool PercentDecode(const std::string& text, std::string& out) {
  out.clear();
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = HexValue(text[i + 1]);
    const int low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return true;
}

bool ParseQuery(const std::string& raw, QueryPairs& pairs, std::string& error) {
  pairs.clear();
  size_t start = 0;
  while (start <= raw.size()) {
    size_t end = raw.find('&', start);
    if (end == std::string::npos) end = raw.size();
    const std::string item = raw.substr(start, end - start);
    start = end + 1;
    if (item.empty()) continue;
    const size_t equals = item.find('=');
    std::string key;
    std::string value;
    if (!PercentDecode(item.substr(0, equals), key) ||
        (equals != std::string::npos && !PercentDecode(item.substr(equals + 1), value))) {
      error = "malformed percent escape in the query";
      return false;
    }
    if (!pairs.emplace(key, value).second) {
      error = "repeated key " + key;
      return false;
    }
  }
  return true;
}

bool ParseInt64Text(const std::string& text, int64_t& value) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string digits = negative ? text.substr(1) : text;
  const uint64_t max = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t magnitude = 0;
  if (!ParseMagnitude(digits, negative ? max + 1 : max, magnitude)) return false;
  if (negative) {
    // -2^63 has no positive counterpart; build it without overflow.
    value = magnitude == max + 1 ? std::numeric_limits<int64_t>::min()
                                 : -static_cast<int64_t>(magnitude);
  } else {
    value = static_cast<int64_t>(magnitude);
  }
  return true;
}

bool ParsePartText(const std::string& text, int32_t& value) {
  uint64_t magnitude = 0;
  if (!ParseMagnitude(text, static_cast<uint64_t>(std::numeric_limits<int32_t>::max()),
                      magnitude)) {
    return false;
  }
  value = static_cast<int32_t>(magnitude);
  return true;
}

bool ValidateStatsQuery(const QueryPairs& pairs, StatsFields fields, StatsQuery& query,
                        std::string& error) {
  if (!Require(pairs, "mid", query.mid, error)) return false;
  if (query.mid.size() > kMaxMidBytes) {
    error = "mid is too long (at most " + std::to_string(kMaxMidBytes) + " bytes)";
    return false;
  }
  // A disk may report any byte in its serial, and the identifier keeps it;
  // only a zero byte cannot come from a text the downloader sends.
  if (query.mid.find('\0') != std::string::npos) {
    error = "mid holds a zero byte";
    return false;
  }
  if (!CheckCode(pairs, "game", query.game, error)) return false;
  if (!CheckCode(pairs, "distributor", query.distributor, error)) return false;
  if (fields == StatsFields::kMachine) return true;

  std::string text;
  if (!Require(pairs, "bytes", text, error)) return false;
  if (!ParseInt64Text(text, query.bytes)) {
    error = "bytes must be a signed 64-bit decimal number";
    return false;
  }
  if (fields == StatsFields::kMachineBytes) return true;

  if (!Require(pairs, "current_part", text, error)) return false;
  if (!ParsePartText(text, query.currentPart)) {
    error = "current_part must be a non-negative 32-bit decimal number";
    return false;
  }
  return true;
}

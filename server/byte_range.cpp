#include "server/byte_range.h"

#include <limits>

namespace {

constexpr int64_t kNoNumber = -1;
constexpr int64_t kHuge = std::numeric_limits<int64_t>::max();

// Decimal digits of text[begin, end); kNoNumber for none or a non-digit,
// kHuge when the value does not fit.
int64_t ParsePosition(const std::string& text, size_t begin, size_t end) {
  if (begin >= end) return kNoNumber;
  int64_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return kNoNumber;
    const int digit = c - '0';
    if (value > (kHuge - digit) / 10) {
      value = kHuge;
      continue;  // keep checking the remaining characters are digits
    }
    value = value * 10 + digit;
  }
  return value;
}

bool StartsWithBytesUnit(const std::string& header) {
  static const std::string kUnit = "bytes=";
  if (header.size() < kUnit.size()) return false;
  for (size_t i = 0; i < kUnit.size(); ++i) {
    char c = header[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kUnit[i]) return false;
  }
  return true;
}

}  // namespace

ByteRange ResolveRange(const std::string& header, int64_t size) {
  ByteRange whole;
  if (!StartsWithBytesUnit(header)) return whole;
  std::string rangeSet = header.substr(6);
  // Optional white space around the single range.
  while (!rangeSet.empty() && (rangeSet.front() == ' ' || rangeSet.front() == '\t'))
    rangeSet.erase(0, 1);
  while (!rangeSet.empty() && (rangeSet.back() == ' ' || rangeSet.back() == '\t'))
    rangeSet.pop_back();
  if (rangeSet.find(',') != std::string::npos) return whole;
  const size_t dash = rangeSet.find('-');
  if (dash == std::string::npos) return whole;

  const int64_t first = ParsePosition(rangeSet, 0, dash);
  const int64_t last = ParsePosition(rangeSet, dash + 1, rangeSet.size());
  const bool firstGiven = dash > 0;
  const bool lastGiven = dash + 1 < rangeSet.size();
  if ((firstGiven && first == kNoNumber) || (lastGiven && last == kNoNumber)) return whole;

  ByteRange result;
  if (!firstGiven) {
    // "-n": the last n bytes.
    if (!lastGiven) return whole;
    if (last == 0 || size == 0) {
      result.kind = RangeKind::kUnsatisfiable;
      return result;
    }
    result.kind = RangeKind::kPart;
    result.length = last < size ? last : size;
    result.first = size - result.length;
    return result;
  }
  if (lastGiven && last < first) return whole;
  if (first >= size) {
    result.kind = RangeKind::kUnsatisfiable;
    return result;
  }
  const int64_t end = (!lastGiven || last >= size - 1) ? size - 1 : last;
  result.kind = RangeKind::kPart;
  result.first = first;
  result.length = end - first + 1;
  return result;
}

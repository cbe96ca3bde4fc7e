// The server's reading of what a client sends: the Range header against a
// file size, and the query of a statistics request. The input is three
// parts separated by line ends: the file size in decimal, the Range header,
// the raw query.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "fuzz_check.h"
#include "server/byte_range.h"
#include "server/query_validation.h"

namespace {

// Leading decimal digits, saturated at the largest file size.
int64_t ReadSize(const std::string& text) {
  int64_t size = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    if (size > (std::numeric_limits<int64_t>::max() - (c - '0')) / 10) {
      return std::numeric_limits<int64_t>::max();
    }
    size = size * 10 + (c - '0');
  }
  return size;
}

void CheckRange(const std::string& header, int64_t size) {
  const ByteRange range = ResolveRange(header, size);
  if (range.kind != RangeKind::kPart) return;
  FUZZ_CHECK(range.first >= 0);
  FUZZ_CHECK(range.length >= 1);
  FUZZ_CHECK(range.first < size);
  FUZZ_CHECK(range.length <= size - range.first);
}

// Every byte as an escape, so that the text parses back to the same pairs.
std::string EncodeAll(const std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
  }
  return out;
}

bool SameNumber(const std::string& text, int64_t value) {
  int64_t parsed = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() && parsed == value;
}

bool IsDigits(const std::string& text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

void CheckQuery(const std::string& raw) {
  QueryPairs pairs;
  std::string error;
  if (!ParseQuery(raw, pairs, error)) {
    FUZZ_CHECK(!error.empty());
    return;
  }
  // Decoded pairs, encoded again, decode to themselves.
  std::string again;
  for (const auto& [key, value] : pairs) {
    if (!again.empty()) again += '&';
    again += EncodeAll(key) + '=' + EncodeAll(value);
  }
  QueryPairs reparsed;
  FUZZ_CHECK(ParseQuery(again, reparsed, error));
  FUZZ_CHECK(reparsed == pairs);

  for (const StatsFields fields :
       {StatsFields::kMachine, StatsFields::kMachineBytes, StatsFields::kMachineBytesPart}) {
    StatsQuery query;
    if (!ValidateStatsQuery(pairs, fields, query, error)) {
      FUZZ_CHECK(!error.empty());
      continue;
    }
    FUZZ_CHECK(!query.mid.empty() && query.mid.size() <= kMaxMidBytes);
    // Any byte the downloader can send is kept, but never a zero byte, which
    // would cut the stored text short.
    FUZZ_CHECK(query.mid.find('\0') == std::string::npos);
    FUZZ_CHECK(query.mid == pairs.at("mid"));
    FUZZ_CHECK(IsDigits(query.game) && query.game.size() <= kMaxCodeDigits);
    FUZZ_CHECK(IsDigits(query.distributor) && query.distributor.size() <= kMaxCodeDigits);
    if (fields == StatsFields::kMachine) continue;
    FUZZ_CHECK(SameNumber(pairs.at("bytes"), query.bytes));
    if (fields == StatsFields::kMachineBytes) continue;
    FUZZ_CHECK(query.currentPart >= 0);
    FUZZ_CHECK(IsDigits(pairs.at("current_part")));
    FUZZ_CHECK(SameNumber(pairs.at("current_part"), query.currentPart));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t firstEnd = input.find('\n');
  const size_t secondEnd =
      firstEnd == std::string::npos ? firstEnd : input.find('\n', firstEnd + 1);
  const std::string sizeText = input.substr(0, firstEnd);
  const std::string header = firstEnd == std::string::npos
                                 ? std::string()
                                 : input.substr(firstEnd + 1, secondEnd - firstEnd - 1);
  const std::string query =
      secondEnd == std::string::npos ? std::string() : input.substr(secondEnd + 1);

  CheckRange(header, ReadSize(sizeText));
  CheckRange(header, 0);
  CheckRange(header, std::numeric_limits<int64_t>::max());
  CheckQuery(query);
  // Either text may reach either parser.
  CheckQuery(input);
  CheckRange(input, ReadSize(sizeText));
  return 0;
}

// The query of a statistics request: decoding, and the checks every value
// passes before anything is stored or answered.
#pragma once

#include <cstdint>
#include <map>
#include <string>

using QueryPairs = std::map<std::string, std::string>;

// Splits a raw query ("mid=a%26b&game=29") into decoded key/value pairs.
// Percent escapes are decoded; a '+' stays a plus sign, since the client
// percent-encodes values rather than form-encoding them. False, with the
// reason in error, for a malformed escape or a key given twice (which of two
// values was meant cannot be known).
[[nodiscard]] bool ParseQuery(const std::string& raw, QueryPairs& pairs, std::string& error);

// Decodes every percent escape of text; false for a malformed one.
[[nodiscard]] bool PercentDecode(const std::string& text, std::string& out);

// Which values a request must carry besides mid, game and distributor.
enum class StatsFields {
  kMachine,           // start, resume
  kMachineBytes,      // finish
  kMachineBytesPart,  // pause, update
};

struct StatsQuery {
  std::string mid;
  std::string game;
  std::string distributor;
  int64_t bytes = 0;        // valid with kMachineBytes and kMachineBytesPart
  int32_t currentPart = 0;  // valid with kMachineBytesPart
};

// The longest machine identifier the downloader builds: a disk serial of up
// to 1023 bytes, "::" and a 17-character adapter address.
inline constexpr size_t kMaxMidBytes = 1023 + 2 + 17;
inline constexpr size_t kMaxCodeDigits = 10;  // game, distributor

// Checks the pairs a request of the given kind needs and fills query. False,
// with a short English reason in error, when a value is missing, malformed or
// too long. Keys other than the expected ones are ignored.
[[nodiscard]] bool ValidateStatsQuery(const QueryPairs& pairs, StatsFields fields,
                                      StatsQuery& query, std::string& error);

// The decimal forms the requests carry. Pure helpers, exposed for the
// validation above: a signed 64-bit value ("-" and digits, nothing else) and a
// non-negative 32-bit value (digits only).
[[nodiscard]] bool ParseInt64Text(const std::string& text, int64_t& value);
[[nodiscard]] bool ParsePartText(const std::string& text, int32_t& value);

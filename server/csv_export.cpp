#include "server/csv_export.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int kPageRows = 2000;

std::string EncodedMid(const std::string& mid) {
  std::string out;
  for (size_t i = 0; i < mid.size(); ++i) {
    const auto byte = static_cast<unsigned char>(mid[i]);
    const bool formula = i == 0 && (byte == '=' || byte == '+' || byte == '-' || byte == '@');
    if (byte <= 0x20 || byte >= 0x7F || byte == '%' || byte == ',' || byte == '"' || byte == ';' ||
        formula) {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", byte);
      out += escape;
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

}  // namespace

std::string CsvLine(const EventLine& line) {
  // The time, game, distributor and event are the server's own checked text.
  return std::to_string(line.id) + "," + line.time + "," + EncodedMid(line.mid) + "," + line.game +
         "," + line.distributor + "," + line.event + "," +
         (line.bytes ? std::to_string(*line.bytes) : "") + "," +
         (line.currentPart ? std::to_string(*line.currentPart) : "") + "\r\n";
}

std::function<bool(std::string&)> EventsCsvStream(SummarySource& source,
                                                  const SummaryPeriod& period, int64_t limit) {
  struct State {
    EventCursor cursor;
    int64_t left;
    bool headerSent = false;
    bool done = false;
  };
  auto state = std::make_shared<State>();
  state->left = limit > 0 ? limit : INT64_MAX;
  return [&source, period, state](std::string& piece) {
    if (!state->headerSent) {
      state->headerSent = true;
      piece += kCsvHeader;
      return true;
    }
    if (state->done || state->left <= 0) return true;
    const int want = static_cast<int>(std::min<int64_t>(kPageRows, state->left));
    std::vector<EventLine> lines;
    std::string error;
    if (!source.ReadEvents(period, state->cursor, want, lines, error)) {
      std::fprintf(stderr, "tovi-server: the events export failed: %s\n", error.c_str());
      return false;
    }
    for (const EventLine& line : lines) piece += CsvLine(line);
    state->left -= static_cast<int64_t>(lines.size());
    if (static_cast<int>(lines.size()) < want) state->done = true;
    return true;
  };
}

// A realistic stream of download events for the dashboard's benchmark and
// screenshot: machines start downloads through the day (more in the
// evening), report every tenth of the progress, pause and continue minutes
// or days later, give up at some part, start again from scratch, and finish.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

struct GeneratedEvent {
  int64_t timeMs = 0;  // since the epoch, UTC
  std::string mid;
  const char* event = "";
  std::optional<int64_t> bytes;
  std::optional<int32_t> currentPart;
};

struct GeneratorSettings {
  int64_t events = 1000000;  // at least this many, up to the end of the last download made
  int days = 120;            // downloads start over this many days ...
  std::time_t end = 0;       // ... ending here (events may run past it)
  uint32_t seed = 1;
};

// Calls sink with every event in time order. False when sink returns false.
bool GenerateEvents(const GeneratorSettings& settings,
                    const std::function<bool(const GeneratedEvent&)>& sink);

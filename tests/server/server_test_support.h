// What the server tests share: the stored events and the parts' bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct EventRow {
  std::string event, mid, game, distributor;
  std::optional<int64_t> bytes;
  std::optional<int64_t> currentPart;
};

// Every stored event in order, from the SQLite file at dbPath.
std::vector<EventRow> ReadEvents(const std::string& dbPath);

// size bytes of a deterministic pattern that differs by seed.
std::string Pattern(size_t size, int seed);

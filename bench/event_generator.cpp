#include "bench/event_generator.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kParts = 4;
constexpr int64_t kPartBytes = 700LL * 1024 * 1024;
constexpr int64_t kTotalBytes = kParts * kPartBytes;
constexpr int64_t kMinute = 60 * 1000;

struct Pending {
  int64_t timeMs;
  uint32_t machine;
  uint8_t event;  // index into kNames
  int8_t part;    // -1: none
  int64_t bytes;  // -1: none
};

constexpr const char* kNames[] = {"start", "resume", "pause", "update", "finish"};
enum : uint8_t { kStart, kResume, kPause, kUpdate, kFinish };

std::string MachineId(uint32_t machine) {
  char text[64];
  std::snprintf(text, sizeof text, "WD-WCC%08u::%02X-%02X-%02X-%02X-%02X-%02X", machine, 0x00, 0x1B,
                (machine >> 24) & 0xFF, (machine >> 16) & 0xFF, (machine >> 8) & 0xFF,
                machine & 0xFF);
  return text;
}

class Stream {
 public:
  explicit Stream(uint32_t seed) : random_(seed) {}

  double Uniform() { return std::uniform_real_distribution<double>(0, 1)(random_); }

  // Start times follow the day: few at night, most in the evening (UTC-3).
  int64_t StartTime(int64_t firstDayMs, int days) {
    const int day = std::uniform_int_distribution<int>(0, days - 1)(random_);
    double hour = 0;
    do {
      hour = Uniform() * 24;
    } while (Uniform() > 0.25 + 0.75 * std::max(0.0, 1 - std::abs(hour - 23) / 10));
    return firstDayMs + day * 24 * 60 * kMinute + static_cast<int64_t>(hour * 60 * kMinute);
  }

  // One machine's download from start to finish or abandonment; returns
  // how many events it made.
  size_t Download(uint32_t machine, int64_t at, std::vector<Pending>& out) {
    const size_t before = out.size();
    out.push_back({at, machine, kStart, -1, -1});
    // Minutes for the whole installer at this machine's line.
    const double minutes = 8 + 120 * Uniform() * Uniform();
    const double giveUpAt = Uniform() < 0.22 ? Uniform() : 2.0;
    const bool restarts = giveUpAt < 2.0 && Uniform() < 0.3;
    int64_t now = at;
    for (int tenth = 1; tenth <= 10; ++tenth) {
      now += static_cast<int64_t>(minutes * kMinute / 10 * (0.7 + 0.6 * Uniform()));
      const int64_t bytes = kTotalBytes * tenth / 10;
      const int part = std::min(kParts - 1, static_cast<int>(bytes / kPartBytes));
      if (tenth / 10.0 > giveUpAt) {
        if (Uniform() < 0.5)
          out.push_back({now, machine, kPause, static_cast<int8_t>(part), bytes});
        if (restarts)
          Download(machine, now + static_cast<int64_t>(Uniform() * 3 * 24 * 60) * kMinute, out);
        return out.size() - before;
      }
      if (tenth < 10) {
        out.push_back({now, machine, kUpdate, static_cast<int8_t>(part), bytes});
      }
      // Some players pause and continue after a while, often the next day.
      if (tenth < 10 && Uniform() < 0.06) {
        out.push_back({now + kMinute, machine, kPause, static_cast<int8_t>(part), bytes});
        const double hours = Uniform() < 0.6 ? Uniform() * 2 : 6 + Uniform() * 40;
        now += kMinute + static_cast<int64_t>(hours * 60) * kMinute;
        out.push_back({now, machine, kResume, static_cast<int8_t>(part), -1});
      }
    }
    out.push_back({now, machine, kFinish, -1, kTotalBytes});
    return out.size() - before;
  }

 private:
  std::mt19937_64 random_;
};

}  // namespace

bool GenerateEvents(const GeneratorSettings& settings,
                    const std::function<bool(const GeneratedEvent&)>& sink) {
  Stream stream(settings.seed);
  const int64_t endDayMs = static_cast<int64_t>(settings.end - settings.end % 86400) * 1000;
  const int64_t firstDayMs = endDayMs - static_cast<int64_t>(settings.days - 1) * 86400 * 1000;
  const int64_t lastMs = static_cast<int64_t>(settings.end) * 1000;
  std::vector<Pending> events;
  events.reserve(static_cast<size_t>(settings.events) + 64);
  uint32_t machine = 0;
  // Events after the end are dropped (a download still running then is
  // cut there), so whole downloads are made until enough fall before it.
  int64_t kept = 0;
  while (kept < settings.events) {
    const size_t before = events.size();
    stream.Download(++machine, stream.StartTime(firstDayMs, settings.days), events);
    for (size_t i = before; i < events.size(); ++i) kept += events[i].timeMs <= lastMs ? 1 : 0;
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const Pending& a, const Pending& b) { return a.timeMs < b.timeMs; });
  GeneratedEvent out;
  for (const Pending& p : events) {
    if (p.timeMs > lastMs) break;
    out.timeMs = p.timeMs;
    out.mid = MachineId(p.machine);
    out.event = kNames[p.event];
    out.bytes = p.bytes >= 0 ? std::optional<int64_t>(p.bytes) : std::nullopt;
    out.currentPart = p.part >= 0 ? std::optional<int32_t>(p.part) : std::nullopt;
    if (!sink(out)) return false;
  }
  return true;
}

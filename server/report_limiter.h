// Reports per client address: a token bucket each, so that one address
// cannot grow the database without bound. Every request that writes to the
// event store takes a token; an empty bucket means 429 with Retry-After.
// The downloader sends a start, ten updates, a finish and a few pauses per
// download, far below the default rate.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

class ReportLimiter {
 public:
  using Clock = std::chrono::steady_clock;

  // rate tokens a second, at most burst at once; rate 0: no limit.
  ReportLimiter(double rate, double burst);

  // True when client may send a report now (a token is taken). Otherwise
  // false, with the whole seconds until it may (at least 1) in retryAfter.
  bool Take(const std::string& client, int& retryAfter);
  bool TakeAt(const std::string& client, Clock::time_point now, int& retryAfter);

  size_t Tracked() const;

 private:
  struct Bucket {
    double tokens;
    Clock::time_point at;
  };
  void Prune(Clock::time_point now);  // lock_ held

  const double rate_;
  const double burst_;
  mutable std::mutex lock_;
  std::unordered_map<std::string, Bucket> buckets_;
  Clock::time_point lastPrune_;
};

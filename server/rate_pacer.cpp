#include "server/rate_pacer.h"

RatePacer::RatePacer(int64_t bytesPerSecond, Clock::time_point start)
    : rate_(bytesPerSecond > 0 ? bytesPerSecond : 0),
      slice_(rate_ / 20 > 0 ? rate_ / 20 : 1),
      start_(start) {}

int64_t RatePacer::Budget(Clock::time_point now) const {
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now - start_).count();
  // rate * seconds without overflow for any rate and a run of centuries.
  const long double earned = static_cast<long double>(rate_) * micros / 1e6L;
  return static_cast<int64_t>(earned) + slice_ - sent_;
}

size_t RatePacer::Allowance(Clock::time_point now, size_t want) const {
  if (rate_ == 0) return want;
  // Whole slices only, so that a paced sender never trickles single bytes.
  const int64_t budget = Budget(now);
  const int64_t least = static_cast<uint64_t>(slice_) < want ? slice_ : static_cast<int64_t>(want);
  if (budget < least || budget <= 0) return 0;
  return static_cast<uint64_t>(budget) < want ? static_cast<size_t>(budget) : want;
}

RatePacer::Clock::duration RatePacer::Wait(Clock::time_point now) const {
  if (rate_ == 0) return Clock::duration::zero();
  const int64_t missing = slice_ - Budget(now);
  if (missing <= 0) return Clock::duration::zero();
  const auto micros = static_cast<int64_t>(static_cast<long double>(missing) * 1e6L / rate_) + 1;
  return std::chrono::microseconds(micros);
}

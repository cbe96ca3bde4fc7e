#include "server/report_limiter.h"

#include <algorithm>
#include <cmath>

namespace {
// Buckets are dropped once full again: a full bucket is the same as none.
constexpr size_t kPruneAbove = 4096;
}  // namespace

ReportLimiter::ReportLimiter(double rate, double burst)
    : rate_(rate), burst_(burst < 1 ? 1 : burst) {}

bool ReportLimiter::Take(const std::string& client, int& retryAfter) {
  return TakeAt(client, Clock::now(), retryAfter);
}

bool ReportLimiter::TakeAt(const std::string& client, Clock::time_point now, int& retryAfter) {
  retryAfter = 0;
  if (rate_ <= 0) return true;
  std::lock_guard<std::mutex> guard(lock_);
  if (buckets_.size() > kPruneAbove && now - lastPrune_ > std::chrono::seconds(1)) Prune(now);
  auto [found, added] = buckets_.try_emplace(client, Bucket{burst_, now});
  Bucket& bucket = found->second;
  if (!added) {
    const double elapsed = std::chrono::duration<double>(now - bucket.at).count();
    bucket.tokens = std::min(burst_, bucket.tokens + (elapsed > 0 ? elapsed : 0) * rate_);
    bucket.at = now;
  }
  if (bucket.tokens >= 1) {
    bucket.tokens -= 1;
    return true;
  }
  const double wait = (1 - bucket.tokens) / rate_;
  retryAfter = static_cast<int>(std::ceil(wait));
  if (retryAfter < 1) retryAfter = 1;
  return false;
}

void ReportLimiter::Prune(Clock::time_point now) {
  lastPrune_ = now;
  for (auto it = buckets_.begin(); it != buckets_.end();) {
    const double elapsed = std::chrono::duration<double>(now - it->second.at).count();
    if (it->second.tokens + elapsed * rate_ >= burst_) {
      it = buckets_.erase(it);
    } else {
      ++it;
    }
  }
}

size_t ReportLimiter::Tracked() const {
  std::lock_guard<std::mutex> guard(lock_);
  return buckets_.size();
}

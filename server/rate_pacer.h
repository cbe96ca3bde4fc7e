// Paces one connection's download to a byte rate, so that a demo or a test
// can watch a download progress on loopback.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

class RatePacer {
 public:
  using Clock = std::chrono::steady_clock;

  // bytesPerSecond 0 means no limit.
  RatePacer(int64_t bytesPerSecond, Clock::time_point start);

  bool Limited() const { return rate_ > 0; }

  // How many of want bytes may go out at now; 0 when the sender must wait
  // (Wait says how long). Unlimited pacers allow everything.
  [[nodiscard]] size_t Allowance(Clock::time_point now, size_t want) const;

  // Records bytes that went out.
  void Sent(size_t bytes) { sent_ += static_cast<int64_t>(bytes); }

  // Time from now until a slice (a 20th of a second's bytes) may go again;
  // zero when it may now.
  Clock::duration Wait(Clock::time_point now) const;

 private:
  int64_t Budget(Clock::time_point now) const;

  int64_t rate_;
  int64_t slice_;  // bytes allowed up front and per step: a 20th of a second
  Clock::time_point start_;
  int64_t sent_ = 0;
};

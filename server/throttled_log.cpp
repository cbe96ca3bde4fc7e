#include "server/throttled_log.h"

void ThrottledLog::Report(const std::string& message) { ReportAt(message, Clock::now()); }

void ThrottledLog::ReportAt(const std::string& message, Clock::time_point now) {
  std::lock_guard<std::mutex> guard(lock_);
  if (wrote_ && now - lastWritten_ < interval_) {
    ++suppressed_;
    lastSuppressed_ = message;
    return;
  }
  WriteSummary();
  wrote_ = true;
  lastWritten_ = now;
  if (out_ != nullptr) {
    std::fprintf(out_, "tovi-server: %s\n", message.c_str());
    std::fflush(out_);
  }
}

void ThrottledLog::Flush() {
  std::lock_guard<std::mutex> guard(lock_);
  WriteSummary();
}

void ThrottledLog::WriteSummary() {
  if (suppressed_ == 0) return;
  if (out_ != nullptr) {
    std::fprintf(out_, "tovi-server: %ld more like this since the last line, the latest: %s\n",
                 suppressed_, lastSuppressed_.c_str());
    std::fflush(out_);
  }
  suppressed_ = 0;
  lastSuppressed_.clear();
}

// Error lines that may repeat at the request rate (a database that is down,
// a part that cannot be read): the first is written at once, the ones after
// it within a second are counted and summed up in one line at most once a
// second, so a failure under load cannot flood standard error.
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

class ThrottledLog {
 public:
  using Clock = std::chrono::steady_clock;

  // Lines go to out (null: nowhere); interval is the least time between two.
  explicit ThrottledLog(std::FILE* out, Clock::duration interval = std::chrono::seconds(1))
      : out_(out), interval_(interval) {}
  ~ThrottledLog() { Flush(); }

  // Writes "tovi-server: <message>", or counts it when a line was written
  // less than interval ago. The count is written with the next line that
  // is let through, or by Flush.
  void Report(const std::string& message);

  // Writes the summary of the messages counted but not written, if any.
  void Flush();

  // For tests: the time is passed in.
  void ReportAt(const std::string& message, Clock::time_point now);

 private:
  void WriteSummary();  // lock_ held

  std::FILE* out_;
  const Clock::duration interval_;
  std::mutex lock_;
  bool wrote_ = false;
  Clock::time_point lastWritten_;
  long suppressed_ = 0;
  std::string lastSuppressed_;
};

// Retries of transfers that failed for a passing cause (a refused, reset or
// stalled connection, a busy server). A failure that another try would only
// repeat ends at once, as it always has; a passing one is tried again after
// a back-off wait that doubles from the first wait up to a cap, for as long
// as the outage has not lasted the budget's whole time. A run that meets no
// fault makes exactly the requests it made without this.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// How long the program keeps trying. One value, so that tests can shrink it.
struct RetryBudget {
  // Tries of one transfer in a row, the first one included.
  int maxTries = 100;
  uint32_t firstWaitMs = 1000;
  uint32_t capMs = 30000;
  // An outage is given up once it has lasted this long: the run keeps
  // trying through at least this much time without a byte.
  uint32_t outageMs = 300000;
};

RetryBudget CurrentRetryBudget();
void SetRetryBudget(const RetryBudget& budget);

// The wait before try number failedTries + 1 (failedTries >= 1): firstWaitMs
// doubled per earlier failure, at most capMs. A server's Retry-After replaces
// it, clamped to capMs.
uint32_t RetryWaitMs(const RetryBudget& budget, int failedTries, long retryAfterSeconds);

// Told the seconds left while a retry wait runs, once per second, and 0 when
// the wait is over. Installed by the workflow to show it; called on the
// program thread.
using RetryNotice = void (*)(uint32_t secondsLeft);
extern std::atomic<RetryNotice> TheRetryNotice;

// Runs attempt until it succeeds or fails for good. attempt(true) must fetch
// from the first byte (the file was found with wrong content and deleted:
// that is tried once more). progressFile, when not empty, is the file the
// attempt writes: a try that made it grow starts the outage anew. With
// watchPause, a pause of the download (downloading cleared by the pause
// report) during a wait holds the retries, the way a paused transfer stands
// still, until the process ends or a test cancels the transfer. what names
// the transfer in the log. Program thread.
[[nodiscard]] bool RunWithRetries(const std::string& what, const std::string& progressFile,
                                  bool watchPause, const std::function<bool(bool)>& attempt);

#include "stats/retry_budget.h"

#include <algorithm>
#include <mutex>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/ticks.h"
#include "platform/wait.h"
#include "stats/download_records.h"
#include "transfer/transfer_fault.h"
#include "transfer/transfer_pause.h"
#include "transfer/transfer_state.h"

std::atomic<RetryNotice> TheRetryNotice{nullptr};

namespace {
constexpr uint32_t kSliceMs = 25;

std::mutex budgetLock;
RetryBudget budget;

void Notify(uint32_t secondsLeft) {
  const RetryNotice notice = TheRetryNotice.load();
  if (notice != nullptr) notice(secondsLeft);
}

bool Cancelled() { return TheTransferState.cancelRequested.load(); }

// PAUSAR holds the download from its click on; the pause report then also
// clears downloading.
bool Paused(bool watchPause) {
  return watchPause && (TransferPauseHeld() || !TheDownloadPlan.downloading.load());
}

enum class WaitEnd { kElapsed, kCancelled };

// Waits ms in slices, keeping the thread's messages moving and the notice
// up to date. A pause holds the wait: nothing more is tried, as nothing more
// is received by a paused transfer, until a cancel.
WaitEnd WaitBeforeRetry(uint32_t ms, bool watchPause) {
  const uint32_t start = TickCount();
  uint32_t shownSeconds = UINT32_MAX;
  bool held = false;
  while (true) {
    if (Cancelled()) return WaitEnd::kCancelled;
    if (!held && Paused(watchPause)) {
      held = true;
      LogLine("download paused while waiting to retry; retries held");
    }
    const uint32_t spent = TickCount() - start;
    if (!held) {
      if (spent >= ms) return WaitEnd::kElapsed;
      const uint32_t seconds = (ms - spent + 999) / 1000;
      if (seconds != shownSeconds) {
        shownSeconds = seconds;
        Notify(seconds);
      }
    }
    WaitWithMessagePump(held ? kSliceMs : std::min(kSliceMs, ms - spent));
  }
}

int64_t SizeOn(const std::string& path) {
  if (path.empty()) return -1;
  return FileSizeOnce(path);
}
}  // namespace

RetryBudget CurrentRetryBudget() {
  std::lock_guard<std::mutex> lock(budgetLock);
  return budget;
}

void SetRetryBudget(const RetryBudget& value) {
  std::lock_guard<std::mutex> lock(budgetLock);
  budget = value;
}

uint32_t RetryWaitMs(const RetryBudget& value, int failedTries, long retryAfterSeconds) {
  if (retryAfterSeconds > 0) {
    const uint64_t asked = static_cast<uint64_t>(retryAfterSeconds) * 1000;
    return static_cast<uint32_t>(std::min<uint64_t>(asked, value.capMs));
  }
  uint64_t wait = value.firstWaitMs;
  for (int i = 1; i < failedTries && wait < value.capMs; ++i) wait *= 2;
  return static_cast<uint32_t>(std::min<uint64_t>(wait, value.capMs));
}

bool RunWithRetries(const std::string& what, const std::string& progressFile, bool watchPause,
                    const std::function<bool(bool)>& attempt) {
  const RetryBudget limits = CurrentRetryBudget();
  bool fromScratch = false;
  bool refetched = false;
  int failedTries = 0;
  uint32_t outageStart = TickCount();
  while (true) {
    const int64_t before = SizeOn(progressFile);
    if (attempt(fromScratch)) return true;
    fromScratch = false;
    const TransferOutcome outcome = LastTransferOutcome();
    if (outcome.fault == TransferFault::kWrongContent && !refetched) {
      // The bad file is gone; its part is fetched once more, whole.
      refetched = true;
      fromScratch = true;
      LogFormat("%s: wrong content, fetching it once more from its first byte\n", what.c_str());
      continue;
    }
    if (outcome.fault != TransferFault::kTransient || Cancelled()) return false;
    if (SizeOn(progressFile) > before) {
      // Bytes arrived: this is a new outage, not the old one going on.
      failedTries = 0;
      outageStart = TickCount();
    }
    ++failedTries;
    const uint32_t outage = TickCount() - outageStart;
    if (failedTries >= limits.maxTries || outage >= limits.outageMs) {
      LogFormat("%s: giving up after %d tries in %u s (%s)\n", what.c_str(), failedTries,
                outage / 1000, outcome.reason.c_str());
      return false;
    }
    const uint32_t waitMs = RetryWaitMs(limits, failedTries, outcome.retryAfterSeconds);
    LogFormat("%s: try %d failed (%s), retrying in %u ms\n", what.c_str(), failedTries,
              outcome.reason.c_str(), waitMs);
    const WaitEnd end = WaitBeforeRetry(waitMs, watchPause);
    Notify(0);
    if (end == WaitEnd::kCancelled) return false;
  }
}

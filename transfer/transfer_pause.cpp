#include "transfer/transfer_pause.h"

#include "platform/log.h"
#include "platform/wait.h"
#include "transfer/transfer_state.h"

namespace {
constexpr uint32_t kPollMs = 25;
}  // namespace

bool RequestTransferPause() {
  TransferState& state = TheTransferState;
  // Held first: a transfer that starts after this sees it at its first
  // progress callback, and the parts loop sees it before the next part.
  state.pauseHeld.store(true, std::memory_order_release);
  // The serial is read before the running flag: a request that races the
  // end of one transfer names that transfer, and the hold covers the next.
  const uint64_t serial = state.jobSerial.load(std::memory_order_acquire);
  if (!state.running.load(std::memory_order_acquire)) return false;
  state.pauseRequestedFor.store(serial, std::memory_order_release);
  return true;
}

bool TransferPauseHeld() { return TheTransferState.pauseHeld.load(std::memory_order_acquire); }

bool WaitWhileTransferPaused() {
  TransferState& state = TheTransferState;
  if (!TransferPauseHeld()) return true;
  LogLine("download paused before the next part");
  while (!state.cancelRequested.load()) WaitWithMessagePump(kPollMs);
  return false;
}

void CancelTransferForTesting() { TheTransferState.cancelRequested.store(true); }

void ReleaseTransferPauseForTesting() {
  TheTransferState.pauseHeld.store(false);
  TheTransferState.pauseRequestedFor.store(0);
}

#include "transfer/transfer_pause.h"

#include "transfer/transfer_state.h"

bool RequestTransferPause() {
  TransferState& state = TheTransferState;
  // The serial is read before the running flag: a request that races the
  // end of one transfer names that transfer, never the next one.
  const uint64_t serial = state.jobSerial.load(std::memory_order_acquire);
  if (!state.running.load(std::memory_order_acquire)) return false;
  state.pauseRequestedFor.store(serial, std::memory_order_release);
  return true;
}

void CancelTransferForTesting() { TheTransferState.cancelRequested.store(true); }

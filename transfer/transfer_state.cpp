#include "transfer/transfer_state.h"

TransferState TheTransferState;

namespace {
std::atomic<uint32_t> stallBoundMs{kDefaultStallBoundMs};
std::atomic<long> lowSpeedSeconds{kDefaultLowSpeedSeconds};
}  // namespace

void SetStallBoundForTesting(uint32_t ms) { stallBoundMs.store(ms); }

uint32_t StallBoundMs() { return stallBoundMs.load(); }

void SetLowSpeedTimeForTesting(long seconds) { lowSpeedSeconds.store(seconds); }

long LowSpeedSeconds() { return lowSpeedSeconds.load(); }

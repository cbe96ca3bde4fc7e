#include "platform/wait.h"

std::atomic<bool> StartSignal{false};

void WaitWithMessagePump(uint32_t ms, MessagePump& pump) {
  // 32-bit tick arithmetic: the deadline may wrap, and a remaining time above
  // ms means the deadline has passed and the subtraction wrapped.
  const uint32_t deadline = pump.Ticks() + ms;
  uint32_t remaining = ms;
  for (;;) {
    if (pump.WaitForInput(remaining)) pump.DispatchQueued();
    remaining = deadline - pump.Ticks();
    if (remaining == 0 || remaining > ms) return;
  }
}

void WaitWithMessagePump(uint32_t ms) { WaitWithMessagePump(ms, ThreadMessagePump()); }

void WaitForStartSignal() {
  while (!StartSignal.load(std::memory_order_acquire)) WaitWithMessagePump(25);
  StartSignal.store(false, std::memory_order_release);
}

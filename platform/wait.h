// Waits that keep the calling thread's message queue moving. Every thread
// that waits for another one (the program thread for a transfer, a transfer
// thread for a statistics request) waits through these.
#pragma once

#include <atomic>
#include <cstdint>

// Set by the UI controller when the user lets the program thread go on;
// cleared by the workflow before each wait and by WaitForStartSignal.
extern std::atomic<bool> StartSignal;

// Waits at least ms milliseconds while dispatching the calling thread's
// messages. With 0 it dispatches what is queued and returns.
void WaitWithMessagePump(uint32_t ms);

// Returns once StartSignal is set, and clears it.
void WaitForStartSignal();

// The operations the wait is built on, so that its arithmetic can be run
// against a substitute clock and queue.
class MessagePump {
 public:
  virtual uint32_t Ticks() = 0;
  // Blocks until input arrives for the thread or ms pass; true on input.
  virtual bool WaitForInput(uint32_t ms) = 0;
  // Removes and dispatches every queued message of the thread.
  virtual void DispatchQueued() = 0;

 protected:
  ~MessagePump() = default;
};

void WaitWithMessagePump(uint32_t ms, MessagePump& pump);

// The platform's pump for the calling thread.
MessagePump& ThreadMessagePump();

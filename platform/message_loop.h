// The main thread's message loop and its stop rule, apart from the platform's
// queue so that the rule can be exercised with a scripted source.
#pragma once

#include <cstdint>

// The UI controller's entry: false asks the loop to stop.
using CommandHookFn = bool (*)(uint32_t wParam, uint32_t lParam);

struct LoopMessage {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

// True exactly when the message is WM_UI_COMMAND, hook is set and the hook
// rejects the command.
bool IsRejectedCommand(const LoopMessage& message, CommandHookFn hook);

class MessageSource {
 public:
  // Takes the next message of the thread; false for a quit message or an
  // error, which ends the loop.
  virtual bool Next(LoopMessage* message) = 0;
  // Translates and dispatches the message Next returned last.
  virtual void Dispatch() = 0;

 protected:
  ~MessageSource() = default;
};

// Runs until the source has no more messages or the hook rejects a command;
// a rejected command is not dispatched.
void RunMessageLoop(MessageSource& source, CommandHookFn hook);

// The platform's source for the calling thread's queue.
MessageSource& ThreadMessageSource();

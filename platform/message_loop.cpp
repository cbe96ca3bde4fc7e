#include "platform/message_loop.h"

#include "platform/window_messages.h"

bool IsRejectedCommand(const LoopMessage& message, CommandHookFn hook) {
  return message.message == WM_UI_COMMAND && hook != nullptr &&
         !hook(static_cast<uint32_t>(message.wParam), static_cast<uint32_t>(message.lParam));
}

void RunMessageLoop(MessageSource& source, CommandHookFn hook) {
  LoopMessage message;
  while (source.Next(&message)) {
    if (IsRejectedCommand(message, hook)) return;
    source.Dispatch();
  }
}

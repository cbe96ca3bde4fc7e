#include "platform/message_queue_posix.h"
#include "support/stand_in_window.h"

namespace {
void Proc(WindowHandle, const Message& message, void* context) {
  if (message.message != WM_UI_COMMAND) return;
  static_cast<StandInWindow*>(context)->Handle(static_cast<uint32_t>(message.wParam),
                                               static_cast<int32_t>(message.lParam));
}
}  // namespace

WindowHandle CreateStandInWindowHandle(StandInWindow* owner) {
  return CreatePosixWindow(Proc, owner);
}

void RunStandInLoop() {
  Message message;
  while (CurrentThreadQueue().Get(&message)) DispatchMessageToWindow(message);
}

void StopStandInWindow(WindowHandle window) { PostWindowMessage(window, WM_QUIT_MESSAGE, 0, 0); }

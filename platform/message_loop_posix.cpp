#include "platform/message_loop.h"
#include "platform/message_queue_posix.h"

namespace {
class PosixSource final : public MessageSource {
 public:
  bool Next(LoopMessage* message) override {
    if (!CurrentThreadQueue().Get(&current_)) return false;
    *message = {current_.message, current_.wParam, current_.lParam};
    return true;
  }
  void Dispatch() override { DispatchMessageToWindow(current_); }

 private:
  Message current_;
};
}  // namespace

MessageSource& ThreadMessageSource() {
  thread_local PosixSource source;
  return source;
}

#include <windows.h>

#include "platform/message_loop.h"

namespace {
class Win32Source final : public MessageSource {
 public:
  bool Next(LoopMessage* message) override {
    // GetMessageW gives 0 for WM_QUIT and -1 on error: both end the loop.
    if (GetMessageW(&current_, nullptr, 0, 0) <= 0) return false;
    *message = {current_.message, current_.wParam, current_.lParam};
    return true;
  }
  void Dispatch() override {
    TranslateMessage(&current_);
    DispatchMessageW(&current_);
  }

 private:
  MSG current_{};
};
}  // namespace

MessageSource& ThreadMessageSource() {
  thread_local Win32Source source;
  return source;
}

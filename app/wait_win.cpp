#include <windows.h>

#include "app/wait.h"
#include "app/window_messages.h"

std::atomic<WindowHandle> TheMainWindow{nullptr};

namespace {
class Win32Pump final : public MessagePump {
 public:
  uint32_t Ticks() override { return GetTickCount(); }
  bool WaitForInput(uint32_t ms) override {
    return MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT) != WAIT_TIMEOUT;
  }
  void DispatchQueued() override {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
};
}  // namespace

MessagePump& ThreadMessagePump() {
  static Win32Pump pump;
  return pump;
}

bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return PostMessageW(static_cast<HWND>(window), message, wParam, lParam) != FALSE;
}

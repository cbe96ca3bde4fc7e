#include <windows.h>

#include "platform/wait.h"
#include "platform/window_messages.h"

std::atomic<WindowHandle> TheMainWindow{nullptr};

namespace {
class Win32Pump final : public MessagePump {
 public:
  uint32_t Ticks() override { return GetTickCount(); }
  bool WaitForInput(uint32_t ms) override {
    return MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT) != WAIT_TIMEOUT;
  }
  void DispatchQueued() override {
    // UI commands stay queued for the main loop, the only place that hands
    // them to the controller: dispatched from a nested wait (the display's
    // pause between progress reports) they would reach the window procedure
    // and be lost, and with them the user's clicks.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, WM_UI_COMMAND - 1, PM_REMOVE) ||
           PeekMessageW(&message, nullptr, WM_UI_COMMAND + 1, 0xFFFFFFFF, PM_REMOVE)) {
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

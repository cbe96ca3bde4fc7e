#include <windows.h>

#include "support/stand_in_window.h"

namespace {
LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_UI_COMMAND) {
    auto* owner = reinterpret_cast<StandInWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (owner != nullptr) {
      owner->Handle(static_cast<uint32_t>(wParam), static_cast<int32_t>(lParam));
    }
    return 0;
  }
  if (message == WM_CLOSE) {
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
}  // namespace

WindowHandle CreateStandInWindowHandle(StandInWindow* owner) {
  static const wchar_t kClass[] = L"ToviStandInWindow";
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = Proc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kClass;
  RegisterClassW(&windowClass);  // fails harmlessly when already registered
  HWND window = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  return window;
}

void RunStandInLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void StopStandInWindow(WindowHandle window) {
  PostMessageW(static_cast<HWND>(window), WM_CLOSE, 0, 0);
}

#include <windows.h>

#include "app/window_messages.h"
#include "browser/browser_window.h"

namespace {
const wchar_t kClassName[] = L"Q9Browser0029";
const char kTitle[] = "Tovi Downloader 2.1";
constexpr int kIconResource = 1001;
constexpr int kWidth = 760;
constexpr int kHeight = 600;

LRESULT CALLBACK BrowserWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      // The main loop ends with the window.
      PostQuitMessage(0);
      return 1;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

bool PlaceWindow(HWND window) {
  RECT area;
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) return false;
  const int edge = GetSystemMetrics(SM_CXEDGE);
  const int frame = GetSystemMetrics(SM_CXDLGFRAME);
  const int x = area.right / 2 - kWidth / 2 - edge;
  const int y = area.bottom / 2 - kHeight / 2 - frame;
  return MoveWindow(window, x, y, kWidth + edge, kHeight + edge, TRUE) != FALSE;
}
}  // namespace

Q9BrowserWindow::Q9BrowserWindow(void* instance, int showCommand)
    : instance_(instance), showCommand_(showCommand) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = BrowserWindowProc;
  windowClass.hInstance = static_cast<HINSTANCE>(instance_);
  windowClass.hIcon = LoadIconW(static_cast<HINSTANCE>(instance_), MAKEINTRESOURCEW(kIconResource));
  windowClass.hbrBackground = CreateSolidBrush(RGB(4, 0, 0));
  windowClass.lpszClassName = kClassName;
  RegisterClassExW(&windowClass);
}

bool Q9BrowserWindow::CreateMainWindow() {
  if (TheMainWindow.load() != nullptr) return true;
  const std::wstring title(kTitle, kTitle + sizeof kTitle - 1);
  HWND window = CreateWindowExW(WS_EX_APPWINDOW, kClassName, title.c_str(), WS_BORDER,
                                CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr,
                                static_cast<HINSTANCE>(instance_), nullptr);
  TheMainWindow = window;
  if (window == nullptr) return false;
  SetWindowLongW(window, GWL_STYLE, WS_DLGFRAME);
  SetWindowPos(window, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  PlaceWindow(window);
  return true;
}

#include <windows.h>

#include <cstdint>

#include "browser/browser_window.h"
#include "browser/container_site.h"
#include "browser/window_placement.h"
#include "browser/window_procs_win.h"
#include "browser/window_title.h"
#include "platform/window_messages.h"
#include "ui/ui_commands.h"

namespace {
const wchar_t kClassName[] = L"Q9Browser0029";
constexpr int kIconResource = 1001;
constexpr uint32_t kReloadMs = 30000;
// A reload tick handed from the timer thread to the main thread, which owns
// the browser control.
constexpr UINT WM_RELOADTICK = WM_APP + 51;

// One window object per process.
Q9BrowserWindow* theWindowObject = nullptr;
// Windows that hold a browser control.
uint8_t hostingCount = 0;

// The drag: the window rectangle and the grab point in client coordinates,
// taken at button-down.
RECT dragStartRect{};
POINT grabPoint{};
}  // namespace

Q9BrowserWindow::Q9BrowserWindow(void* instance, int showCommand)
    : instance_(instance), showCommand_(showCommand) {
  theWindowObject = this;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = SkinWindowProc;
  windowClass.hInstance = static_cast<HINSTANCE>(instance_);
  windowClass.hIcon = LoadIconW(static_cast<HINSTANCE>(instance_), MAKEINTRESOURCEW(kIconResource));
  // Near black; the skin replaces it with black.
  windowClass.hbrBackground = CreateSolidBrush(RGB(4, 0, 0));
  windowClass.lpszClassName = kClassName;
  RegisterClassExW(&windowClass);
}

Q9BrowserWindow::~Q9BrowserWindow() {
  refreshTimer_.Stop();
  if (theWindowObject == this) theWindowObject = nullptr;
}

bool Q9BrowserWindow::CreateMainWindow() {
  if (TheMainWindow.load() != nullptr) return true;
  const std::wstring title(kWindowTitle, kWindowTitle + sizeof kWindowTitle - 1);
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

bool Q9BrowserWindow::PlaceWindow(WindowHandle window) {
  RECT area;
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) return false;
  const WindowBox box = PlaceInWorkArea(area.right, area.bottom, GetSystemMetrics(SM_CXEDGE),
                                        GetSystemMetrics(SM_CXDLGFRAME));
  return MoveWindow(static_cast<HWND>(window), box.x, box.y, box.width, box.height, TRUE) != FALSE;
}

void Q9BrowserWindow::LoadPage(const std::wstring& address) {
  refreshTimer_.Bind(this, &Q9BrowserWindow::OnReloadTimer);
  // A reload that runs keeps its schedule.
  if (!refreshTimer_.IsRunning()) (void)refreshTimer_.Start(kReloadMs, kReloadMs);
  stopReload_ = false;
  pageUrl_ = address;
  NavigateBrowser(TheMainWindow.load(), address);
}

void Q9BrowserWindow::ShowPage(bool show, const std::wstring& address) {
  if (!CreateMainWindow()) return;
  LoadPage(address);
  if (show) {
    HWND window = static_cast<HWND>(TheMainWindow.load());
    ShowWindow(window, showCommand_);
    UpdateWindow(window);
  }
}

void Q9BrowserWindow::OnReloadTimer() {
  // The browser control belongs to the main thread: the tick goes there.
  PostWindowMessage(TheMainWindow.load(), WM_RELOADTICK, 0, 0);
}

void Q9BrowserWindow::ReloadTick() {
  if (stopReload_) {
    refreshTimer_.Stop();
    return;
  }
  NavigateBrowser(TheMainWindow.load(), pageUrl_);
}

void StopPageReload() {
  if (theWindowObject != nullptr) theWindowObject->StopReload();
}

LRESULT BrowserWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      if (EmbedBrowser(window) != 0) return -1;
      ++hostingCount;
      return 0;
    case WM_DESTROY:
      UnembedBrowser(window);
      if (hostingCount > 0) --hostingCount;
      // A window whose creation failed gets here too and ends the loop.
      if (hostingCount == 0) PostQuitMessage(0);
      return 1;
    case WM_CLOSE:
      // Alt+F4 and the taskbar close as the close picture does, question
      // included; the window is never destroyed under the running threads.
      PostMessageW(window, WM_UI_COMMAND, UI_CLOSE, 0);
      return 0;
    case WM_SIZE:
      ResizeBrowser(window);
      return 0;
    case WM_LBUTTONDOWN: {
      SetCapture(window);
      GetWindowRect(window, &dragStartRect);
      GetCursorPos(&grabPoint);
      ScreenToClient(window, &grabPoint);
      return 0;
    }
    case WM_MOUSEMOVE: {
      POINT cursor;
      GetCursorPos(&cursor);
      // Only the left button alone drags; with Shift, Ctrl or another
      // button held the window stays.
      if (wParam == MK_LBUTTON) {
        MoveWindow(window, cursor.x - grabPoint.x, cursor.y - grabPoint.y,
                   dragStartRect.right - dragStartRect.left,
                   dragStartRect.bottom - dragStartRect.top, TRUE);
      }
      return 0;
    }
    case WM_LBUTTONUP:
      ReleaseCapture();
      return 0;
    case WM_RELOADTICK:
      if (theWindowObject != nullptr) theWindowObject->ReloadTick();
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

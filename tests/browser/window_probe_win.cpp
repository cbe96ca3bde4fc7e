// Tells a script driving the real program where its window is and what it
// shows, as a user would read it off the screen:
//   window_probe origin        client origin in screen pixels: "X Y"
//   window_probe text X Y      text of the visible control at client (X, Y)
//   window_probe dialog TITLE  "X Y W H" of a top-level window so titled
//   window_probe button        announces the taskbar button to the window, as
//                              the shell does once it has made it
// Exit code 1 when there is no such window or control.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/utf16_win.h"

namespace {

HWND MainWindow() { return FindWindowW(L"Q9Browser0029", nullptr); }

// The last visible text control (static or edit) under the client point.
HWND TextControlAt(HWND main, int x, int y) {
  HWND found = nullptr;
  for (HWND child = GetWindow(main, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) continue;
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
    POINT point{x, y};
    if (PtInRect(&rect, point)) found = child;
  }
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string command = argv[1];
  if (command == "dialog" && argc == 3) {
    HWND dialog = FindWindowW(nullptr, Utf16(argv[2]).c_str());
    if (dialog == nullptr || !IsWindowVisible(dialog)) return 1;
    RECT rect;
    GetWindowRect(dialog, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    return 0;
  }
  HWND main = MainWindow();
  if (main == nullptr || !IsWindowVisible(main)) return 1;
  if (command == "origin") {
    POINT origin{0, 0};
    ClientToScreen(main, &origin);
    std::printf("%ld %ld\n", origin.x, origin.y);
    return 0;
  }
  if (command == "button") {
    const UINT created = RegisterWindowMessageW(L"TaskbarButtonCreated");
    if (created == 0) return 1;
    SendMessageW(main, created, 0, 0);
    return 0;
  }
  if (command == "text" && argc == 4) {
    HWND control = TextControlAt(main, std::atoi(argv[2]), std::atoi(argv[3]));
    if (control == nullptr) return 1;
    wchar_t text[512] = {};
    GetWindowTextW(control, text, 512);
    std::printf("%s\n", Utf8(text).c_str());
    return 0;
  }
  return 2;
}

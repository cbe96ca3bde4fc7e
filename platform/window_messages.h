// Posting to windows from any thread. On Windows a WindowHandle is an HWND;
// elsewhere it is a window of the program's own message system
// (app/message_queue_posix.h), owned by one thread like a Win32 window.
#pragma once

#include <atomic>
#include <cstdint>

using WindowHandle = void*;

// Carries a UI command: wParam the command code, lParam its parameter.
inline constexpr uint32_t WM_APP_BASE = 0x8000;
inline constexpr uint32_t WM_UI_COMMAND = WM_APP_BASE + 50;

// The main window; null until it is created.
extern std::atomic<WindowHandle> TheMainWindow;

// Queues the message for the window's thread and returns at once. False when
// there is no such window.
bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

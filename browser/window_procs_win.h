// The two layers of the main window's procedure (Windows only): the skin
// handles its own messages and hands the rest to the browser host.
#pragma once

#include <windows.h>

// The registered procedure of the window class.
LRESULT CALLBACK SkinWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Embedding, drag, reload ticks and the end of the window.
LRESULT BrowserWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The page said it has loaded (the skin's WM_STOPRELOAD).
void StopPageReload();

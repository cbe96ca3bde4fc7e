// The main window's skin (Windows): the pictures, the status controls and
// the skin's own window messages. UI thread only.
#pragma once

#include <cstdint>

#include "platform/window_messages.h"
#include "ui/main_view.h"

// wParam + lParam as a signed sum becomes the title; 0 restores it.
inline constexpr uint32_t WM_SETTITLECOUNT = 0x0400 + 51;
// wParam 1 INICIAR, 2 CONTINUAR, 3 PAUSAR; lParam the show flag.
inline constexpr uint32_t WM_SHOWACTIONBUTTON = 0x0400 + 52;

// Makes the black background brush and the seven pictures (on WM_CREATE).
void CreateSkin(WindowHandle window);
// Makes the text lines, the folder field, the progress bar, the version
// label and their fonts (on UI_BUILD).
void CreateStatusControls(WindowHandle window);

// The control behind a view control or label; null before it is made.
WindowHandle SkinControl(ViewControl control);
WindowHandle SkinLabel(ViewLabel label);

// Shows or hides the control and updates it at once.
void ShowOrHide(WindowHandle control, bool show);
// Asks the main window, found by its class, to show or hide an action
// picture (1 INICIAR, 2 CONTINUAR, 3 PAUSAR); returns once it is done.
void ShowActionButton(int n, bool show);

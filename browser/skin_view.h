// The main window as the UI controller and the display see it (Windows):
// the skin's controls, message boxes, the shell's folder dialog, window
// flashing and the user's own browser. UI thread only.
#pragma once

#include "ui/main_view.h"

MainView& TheSkinView();

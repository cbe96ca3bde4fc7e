// The Linux front ends: the terminal screen (curses) when standard input and
// output are terminals, else a plain line view that prints status lines.
// Both implement MainView on the main thread. The terminal takes the screen
// only when the status controls are built, so a process that ends before
// (a second instance) leaves the terminal untouched.
#pragma once

#include "ui/main_view.h"

// Chooses and makes the front end for this process; nothing is drawn yet.
MainView* CreateFrontEnd();

// Opens an address in the user's browser with xdg-open when there is a
// graphical display; false when there is none (the caller shows the address).
bool OpenWithDesktopBrowser(const std::string& address);

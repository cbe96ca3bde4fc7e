// The user's desktop directory, shared by the desktop shortcut and the
// default download folder.
#pragma once

#include <string>

// The desktop directory as a narrow path, asked of the system on every call
// and kept in a process-wide buffer: when the lookup fails the last value
// found (empty at first) is returned. Windows: the shell's desktop-directory
// folder. Elsewhere: XDG_DESKTOP_DIR from the user-dirs file, else
// $HOME/Desktop.
std::string GetDesktopPath();

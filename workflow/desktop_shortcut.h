// The desktop shortcut through which an interrupted download is continued.
// Its file also marks that a download of the game was interrupted.
#pragma once

#include <string>

// The desktop directory, the separator, then "Continuar descargando Tovi.lnk"
// on Windows or "Continuar descargando Tovi.desktop" elsewhere.
std::string GetShortcutPath();

// Writes the shortcut for partialPaths[0] of the download plan. Negative on
// failure. Program thread.
int CreateDesktopShortcut();

// Opens the shortcut as the desktop shell would, which starts the program
// again with the partial file's path. Gives up this process's
// single-instance lock first, so the new process is not turned away.
// Returns the shell's result code (logged by the caller).
int OpenShortcut(const std::string& shortcutPath);

// The desktop shortcut through which an interrupted download is continued.
// Its file also marks that a download of the game was interrupted.
#pragma once

#include <string>

// The desktop directory, the separator, then "Continuar descargando Tovi.lnk"
// on Windows or "Continuar descargando Tovi.desktop" elsewhere. The desktop
// is asked of the system on every call.
std::string GetShortcutPath();

// Writes one shortcut file, replacing one of the same name. target and
// arguments are command-line texts (each path in double quotes); the
// working directory has no trailing separator. Windows: a shell link.
// Elsewhere: a desktop launcher (mode 0755) whose Exec holds the target and
// the arguments, Path the working directory; the icon is the theme's
// installer icon there. Negative on failure.
int CreateShellLink(const std::wstring& target, const std::wstring& arguments,
                    const std::wstring& description, const std::wstring& workingDirectory,
                    const std::string& shortcutPath, const std::wstring& iconPath, int iconIndex);

// Writes the shortcut for partialPaths[0] of the download plan: the program
// in its own directory with that path as its one argument. Negative on
// failure (also when the plan has no part). Program thread.
int CreateDesktopShortcut();

// Opens the shortcut as the desktop shell would, which starts the program
// again with the partial file's path. Gives up this process's
// single-instance lock first, so the new process is not turned away.
// Returns the shell's result code (logged by the caller): above 32 when the
// command was started. Windows: explorer opens it. Elsewhere the launcher's
// Exec runs in its Path: in place of this process when standard input is a
// terminal (the new program takes the terminal over), else detached in a
// session of its own; a launcher that cannot be read or parsed starts
// nothing, is logged, and gives 2.
int OpenShortcut(const std::string& shortcutPath);

#ifndef _WIN32
// Outside Windows a launcher runs nothing but this program with one argument
// ending in ".q9tovi"; anything else is logged and gives 0. A test that
// stands another program in for this one names it here (empty: this program).
void SetLauncherProgramForTesting(const std::string& program);
#endif

// The file name's extension on this platform, ".lnk" or ".desktop".
extern const char* const kShortcutExtension;

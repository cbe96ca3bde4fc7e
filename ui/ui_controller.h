// The UI controller: the main loop's CommandHook. UI thread only.
#pragma once

#include <cstdint>
#include <string>

// Runs one UI command. False only when the default download folder cannot
// be created, which ends the main loop; UI_CONTINUE with the desktop
// shortcut present and a confirmed UI_CLOSE end the process outright.
bool HandleUiCommand(uint32_t code, uint32_t parameter);

// The default download folder, without its trailing separator: ToviSetup on
// the given desktop, or at the root of the current drive when the desktop is
// unknown (empty).
std::string DefaultDownloadFolder(const std::string& desktop);

// What the controller needs of the world beyond the window: the desktop, the
// workflow's desktop shortcut and the end of the process. The program hands
// the real ones in before the main loop runs; tests hand in their own. Null
// restores the default, which knows the desktop but no shortcut. The world
// must outlive its use.
struct UiControllerWorld {
  std::string (*desktopPath)();
  std::string (*shortcutPath)();
  int (*openShortcut)(const std::string& shortcutPath);
  void (*exitProcess)();
};
void SetUiControllerWorld(const UiControllerWorld* world);

// With TOVI_UI_TIMING set in the environment, the controller logs each new
// longest time spent in one command ("UI command <code> took <n> us (longest
// so far)"); the modal commands (close, folder choice) are left out.

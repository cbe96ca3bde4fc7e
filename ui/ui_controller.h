// The UI controller: the main loop's CommandHook. UI thread only.
#pragma once

#include <cstdint>

// Runs one UI command. False only when the default download folder cannot
// be created, which ends the main loop; UI_CONTINUE with the desktop
// shortcut present and a confirmed UI_CLOSE end the process outright.
bool HandleUiCommand(uint32_t code, uint32_t parameter);

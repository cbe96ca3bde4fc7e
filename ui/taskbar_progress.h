// The progress outside the window follows the UI commands: running while the
// parts download, paused after PAUSAR, failed when a failure is shown, and
// nothing while the window awaits INICIAR or once the setup program starts.
// UI thread only.
#pragma once

#include <cstdint>

#include "ui/main_view.h"

// Called by the controller before it runs the command, while the download
// flag still says what PAUSAR interrupts. Tells the view only of changes.
void FollowTaskbarProgress(MainView& view, uint32_t code, int32_t parameter);

// Forgets what the view was last told (tests).
void ResetTaskbarProgressForTesting();

// The program thread: the installer workflow, from start to the end of the
// process. This file wires the workflow to the UI controller.
#pragma once

#include <cstdint>

#include "platform/message_loop.h"

uint32_t ProgramThreadMain(void* unused);

// The UI controller that the main loop hands UI commands to; null while the
// program has none.
CommandHookFn ProgramCommandHook();

// Hands the controller the workflow's desktop shortcut (where it is, how it
// is opened), the desktop and the end of the process. Main thread, before
// the main loop runs.
void ConnectControllerToWorkflow();

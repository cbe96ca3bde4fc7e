// The program thread: the installer workflow, from start to the end of the
// process.
#pragma once

#include <cstdint>

#include "platform/message_loop.h"

uint32_t ProgramThreadMain(void* unused);

// The UI controller that the main loop hands UI commands to; null while the
// program has none.
CommandHookFn ProgramCommandHook();

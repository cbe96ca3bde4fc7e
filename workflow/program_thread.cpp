#include "workflow/program_thread.h"

#include "app/exit.h"
#include "app/log.h"
#include "app/wait.h"

uint32_t ProgramThreadMain(void*) {
  LogStartBanner();
  // The user's go-ahead comes through the UI controller.
  StartSignal = false;
  WaitForStartSignal();
  LogEndBanner();
  ExitImmediately();
}

CommandHookFn ProgramCommandHook() { return nullptr; }

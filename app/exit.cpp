#include "app/exit.h"

#include "app/log.h"
#include "app/ticks.h"

// The platform's immediate termination; exit.cpp does the common part.
[[noreturn]] void TerminateCurrentProcess();

void ExitImmediately() {
  if (VerboseLogging.load()) {
    FlushLog();
    SleepMs(50);
  }
  TerminateCurrentProcess();
}

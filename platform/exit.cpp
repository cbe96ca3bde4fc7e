#include "platform/exit.h"

#include <atomic>

#include "platform/log.h"
#include "platform/ticks.h"

// The platform's immediate termination; exit.cpp does the common part.
[[noreturn]] void TerminateCurrentProcess();

namespace {
std::atomic<BeforeExitHook> beforeExit{nullptr};
}

void SetBeforeExitHook(BeforeExitHook hook) { beforeExit = hook; }

void RunBeforeExitHook() {
  if (BeforeExitHook hook = beforeExit.exchange(nullptr)) hook();
}

void ExitImmediately() {
  RunBeforeExitHook();
  if (VerboseLogging.load()) {
    FlushLog();
    SleepMs(50);
  }
  TerminateCurrentProcess();
}

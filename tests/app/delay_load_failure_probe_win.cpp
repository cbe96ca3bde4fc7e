// Calls a delay-loaded function that cannot be had, with the program's
// delay-load hooks linked in: "dll" calls one from a DLL that is not in the
// system folder, "function" one that iphlpapi.dll does not export. The hooks
// must end the process (exit code 0) after a message and a log line; coming
// back from the call, or an uncaught exception, is a fault.
//
//   delay_load_failure_probe dll|function <log path>
#include <windows.h>

#include <string>

#include "platform/log.h"

extern "C" int WINAPI ToviAbsentFunction();
extern "C" int WINAPI ToviAbsentExport();

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  // An exception nobody catches ends the probe at once with its code, without
  // Wine's debugger or Windows' error report holding it up.
  SetUnhandledExceptionFilter([](EXCEPTION_POINTERS* exception) -> LONG {
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_CONTINUE_SEARCH;
  });
  SetLogPath(argv[2]);
  VerboseLogging = true;
  OpenLog();
  const std::string which = argv[1];
  if (which == "dll") ToviAbsentFunction();
  if (which == "function") ToviAbsentExport();
  return 3;
}

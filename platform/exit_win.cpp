#include <windows.h>

[[noreturn]] void TerminateCurrentProcess() {
  TerminateProcess(GetCurrentProcess(), 0);
  ExitProcess(0);
}

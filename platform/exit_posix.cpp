#include <unistd.h>

[[noreturn]] void TerminateCurrentProcess() { _exit(0); }

#pragma once

// Flushes the log (when logging is on, with a 50 ms pause so the line is
// surely on disk) and terminates the process with exit code 0 at once: no
// destructors, no orderly shutdown. Callable from any thread; never returns.
[[noreturn]] void ExitImmediately();

// A front end that must undo something before the process ends (the
// terminal restores its modes) installs it here. ExitImmediately calls it
// first, and so does any code that replaces the process image. Set once on
// the main thread before other threads start; null by default.
using BeforeExitHook = void (*)();
void SetBeforeExitHook(BeforeExitHook hook);
void RunBeforeExitHook();

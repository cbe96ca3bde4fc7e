// The process's command line as one narrow text, the program's path first:
// what GetCommandLineA gives on Windows. The Linux entry point joins its
// arguments into the same form (JoinCommandLine), so the workflow reads the
// command line the same way on both.
#pragma once

#include <string>

// Set once by the entry point before any other thread starts (and by tests).
void SetProcessCommandLine(const std::string& text);
std::string ProcessCommandLine();

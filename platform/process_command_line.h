// The process's command line as one narrow text, the program's path first:
// on Windows what GetCommandLineW gives, as UTF-8. The Linux entry point
// joins its arguments into the same form (JoinCommandLine), and keeps the
// list itself too: a Linux file name may hold a double quote, which the text
// form cannot carry.
#pragma once

#include <string>
#include <vector>

// Set once by the entry point before any other thread starts (and by tests).
// Setting the text forgets a list set before.
void SetProcessCommandLine(const std::string& text);
std::string ProcessCommandLine();

// The arguments as the entry point received them, the program first; set
// after the text. False when only a text was set (Windows, most tests).
void SetProcessArguments(const std::vector<std::string>& arguments);
[[nodiscard]] bool GivenProcessArguments(std::vector<std::string>* arguments);

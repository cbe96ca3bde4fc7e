// The path of the running program's executable.
#pragma once

#include <string>

// Narrow UTF-8 (Windows: GetModuleFileNameW, at most 260 characters).
std::string ModuleFileName();
// Wide (Windows: GetModuleFileNameW, at most 520 characters).
std::wstring ModuleFileNameWide();

// Opening the log file: the platform part of OpenLog.
#pragma once

#include <cstdio>
#include <string>

// Reopens the standard error stream onto path for appending and returns the
// stream the log writes to, or null when the file cannot be opened.
std::FILE* OpenLogFile(const std::string& path);

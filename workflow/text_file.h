#pragma once

#include <string>

// Creates the file or truncates an existing one and writes text into it.
// Failures are ignored: a file that cannot be written simply is not there.
void WriteTextFile(const std::string& path, const std::string& text);

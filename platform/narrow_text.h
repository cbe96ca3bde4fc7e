// Narrow text (UTF-8, on Windows too) to UTF-16 or UTF-32 wide text and back,
// for system calls, shell calls and user-visible text. Paths, URLs and server
// data are narrow UTF-8 throughout the program; on Windows the platform
// adapters widen a path just before the wide API call, so a folder name
// outside the ANSI code page keeps every character.
#pragma once

#include <string>

std::wstring WidenText(const std::string& text);
// Windows: a lone surrogate (a file name need not be valid UTF-16) becomes
// U+FFFD. Elsewhere, text that came from WidenText comes back as it was.
std::string NarrowText(const std::wstring& text);

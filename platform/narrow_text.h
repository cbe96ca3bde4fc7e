// Narrow text (the ANSI code page on Windows, UTF-8 elsewhere) to UTF-16 or
// UTF-32 wide text and back, for shell calls and user-visible text.
#pragma once

#include <string>

std::wstring WidenText(const std::string& text);
// Characters the narrow encoding cannot hold are lost (Windows) or, for
// text that came from WidenText, come back as they were (elsewhere).
std::string NarrowText(const std::wstring& text);

// The terminal's title while the program owns the terminal: the download's
// progress in words, set with the xterm title sequence. The title found is
// pushed on the terminal's title stack first and popped on the way out.
#pragma once

#include <string>

#include "ui/main_view.h"

// "Tovi 42 %", "Tovi en pausa", "Tovi: error", or "Tovi" without progress.
std::string TerminalTitle(TaskbarState state, int percent);

// The escape sequence that makes text the window's title (OSC 2).
std::string TitleSequence(const std::string& text);

// Push and pop of the title stack (icon name and window title).
inline constexpr char kSaveTitleSequence[] = "\033[22;0t";
inline constexpr char kRestoreTitleSequence[] = "\033[23;0t";

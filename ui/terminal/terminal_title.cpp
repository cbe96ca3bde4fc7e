#include "ui/terminal/terminal_title.h"

std::string TerminalTitle(TaskbarState state, int percent) {
  switch (state) {
    case TaskbarState::Normal:
      return "Tovi " + std::to_string(percent) + " %";
    case TaskbarState::Paused:
      return "Tovi en pausa";
    case TaskbarState::Error:
      return "Tovi: error";
    case TaskbarState::None:
      break;
  }
  return "Tovi";
}

// BEL ends the sequence: older terminals know no other end.
std::string TitleSequence(const std::string& text) { return "\033]2;" + text + "\a"; }

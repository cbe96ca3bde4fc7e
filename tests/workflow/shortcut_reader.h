// Reads a shortcut file back as the desktop would start it (tests).
#pragma once

#include <string>
#include <vector>

struct ShortcutCommand {
  std::vector<std::string> arguments;  // the program first
  std::string workingDirectory;
  std::string description;
};

// False when the file is not a shortcut this platform's desktop can start.
bool ReadShortcut(const std::string& path, ShortcutCommand* command);

#include "workflow/command_line.h"

namespace {
bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false;
  bool quoting = false;
  for (char c : commandLine) {
    if (c == '"') {
      inArgument = true;
      quoting = !quoting;
    } else if (IsSeparator(c) && !quoting) {
      if (inArgument) arguments.push_back(current);
      current.clear();
      inArgument = false;
    } else {
      inArgument = true;
      current += c;
    }
  }
  if (inArgument) arguments.push_back(current);
  return arguments;
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    line += '"';
    for (char c : argument) {
      if (c != '"') line += c;
    }
    line += '"';
  }
  return line;
}

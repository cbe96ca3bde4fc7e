#include "workflow/command_line.h"

#include "platform/process_command_line.h"

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

std::vector<std::string> ProcessArguments() {
  std::vector<std::string> arguments;
  if (GivenProcessArguments(&arguments)) return arguments;
  return SplitCommandLine(ProcessCommandLine());
}

std::vector<std::string> ShellLinkCommand(const std::string& target, const std::string& arguments) {
  std::vector<std::string> command;
  for (const std::string* field : {&target, &arguments}) {
    const std::string& text = *field;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
      command.push_back(text.substr(1, text.size() - 2));
    } else {
      for (std::string& word : SplitCommandLine(text)) command.push_back(std::move(word));
    }
  }
  return command;
}

std::string QuoteWindowsArgument(const std::string& argument) {
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count as escapes only before a double quote.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

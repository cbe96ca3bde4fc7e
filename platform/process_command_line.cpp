#include "platform/process_command_line.h"

#include <mutex>

namespace {
std::mutex lock;
std::string& Stored() {
  static auto* text = new std::string;
  return *text;
}
// Held apart from the text; "given" says whether it was set since the text.
std::vector<std::string>& StoredArguments() {
  static auto* arguments = new std::vector<std::string>;
  return *arguments;
}
bool given = false;
}  // namespace

void SetProcessCommandLine(const std::string& text) {
  std::lock_guard<std::mutex> hold(lock);
  Stored() = text;
  StoredArguments().clear();
  given = false;
}

std::string ProcessCommandLine() {
  std::lock_guard<std::mutex> hold(lock);
  return Stored();
}

void SetProcessArguments(const std::vector<std::string>& arguments) {
  std::lock_guard<std::mutex> hold(lock);
  StoredArguments() = arguments;
  given = true;
}

bool GivenProcessArguments(std::vector<std::string>* arguments) {
  std::lock_guard<std::mutex> hold(lock);
  if (given) *arguments = StoredArguments();
  return given;
}

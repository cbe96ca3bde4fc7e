#include "platform/process_command_line.h"

#include <mutex>

namespace {
std::mutex lock;
std::string& Stored() {
  static auto* text = new std::string;
  return *text;
}
}  // namespace

void SetProcessCommandLine(const std::string& text) {
  std::lock_guard<std::mutex> hold(lock);
  Stored() = text;
}

std::string ProcessCommandLine() {
  std::lock_guard<std::mutex> hold(lock);
  return Stored();
}

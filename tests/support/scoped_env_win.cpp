#include <windows.h>

#include <vector>

#include "support/scoped_env.h"

// The system's environment block, which GetTempPath and child processes read.
void SetEnvValue(const std::string& name, const std::optional<std::string>& value) {
  SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
}

std::optional<std::string> GetEnvValue(const std::string& name) {
  const DWORD size = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::vector<char> buffer(size);
  const DWORD length = GetEnvironmentVariableA(name.c_str(), buffer.data(), size);
  return std::string(buffer.data(), length);
}

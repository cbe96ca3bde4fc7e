#include <windows.h>

#include <vector>

#include "platform/narrow_text.h"
#include "support/scoped_env.h"

// The system's environment block, which GetTempPath and child processes read;
// names and values are UTF-8, like the program's paths.
void SetEnvValue(const std::string& name, const std::optional<std::string>& value) {
  SetEnvironmentVariableW(WidenText(name).c_str(), value ? WidenText(*value).c_str() : nullptr);
}

std::optional<std::string> GetEnvValue(const std::string& name) {
  const std::wstring wideName = WidenText(name);
  const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::vector<wchar_t> buffer(size);
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), buffer.data(), size);
  return NarrowText(std::wstring(buffer.data(), length));
}

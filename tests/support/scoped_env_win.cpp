#include <windows.h>

#include <vector>

#include "support/scoped_env.h"
#include "support/utf16_win.h"

// The system's environment block, which GetTempPath and child processes read;
// names and values are UTF-8, like the program's paths.
void SetEnvValue(const std::string& name, const std::optional<std::string>& value) {
  SetEnvironmentVariableW(Utf16(name).c_str(), value ? Utf16(*value).c_str() : nullptr);
}

std::optional<std::string> GetEnvValue(const std::string& name) {
  const std::wstring wideName = Utf16(name);
  const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::vector<wchar_t> buffer(size);
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), buffer.data(), size);
  return Utf8(std::wstring(buffer.data(), length));
}

#include <windows.h>

#include <vector>

#include "support/scoped_env.h"

namespace {
// Converted here rather than by the program's own helpers, which are what
// the tests check.
std::wstring Utf16(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  wide.resize(n > 0 ? n - 1 : 0);
  return wide;
}

std::string Utf8(const std::wstring& text) {
  std::string narrow(text.size() * 3 + 1, '\0');
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, narrow.data(),
                                    static_cast<int>(narrow.size()), nullptr, nullptr);
  narrow.resize(n > 0 ? n - 1 : 0);
  return narrow;
}
}  // namespace

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

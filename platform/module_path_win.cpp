#include <windows.h>

#include "platform/module_path.h"

namespace {
constexpr DWORD kNarrowChars = 260;
constexpr DWORD kWideChars = 520;
}  // namespace

std::string ModuleFileName() {
  char buffer[kNarrowChars] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, kNarrowChars);
  if (length == 0 || length >= kNarrowChars) return {};
  return std::string(buffer, length);
}

std::wstring ModuleFileNameWide() {
  wchar_t buffer[kWideChars] = {};
  const DWORD length = GetModuleFileNameW(nullptr, buffer, kWideChars);
  if (length == 0 || length >= kWideChars) return {};
  return std::wstring(buffer, length);
}

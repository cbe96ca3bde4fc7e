#include <windows.h>

#include "platform/module_path.h"
#include "platform/narrow_text.h"

namespace {
constexpr DWORD kNarrowChars = 260;
constexpr DWORD kWideChars = 520;

// The path through the wide API; empty when it needs limit characters or
// more.
std::wstring WideModulePath(DWORD limit) {
  wchar_t buffer[kWideChars] = {};
  const DWORD length = GetModuleFileNameW(nullptr, buffer, limit);
  if (length == 0 || length >= limit) return {};
  return std::wstring(buffer, length);
}
}  // namespace

// Read wide and narrowed to UTF-8: the narrow call would hand back "?" for
// a folder name outside the ANSI code page.
std::string ModuleFileName() { return NarrowText(WideModulePath(kNarrowChars)); }

std::wstring ModuleFileNameWide() { return WideModulePath(kWideChars); }

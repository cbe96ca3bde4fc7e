#include "platform/navigation_sound.h"

#include "platform/registry.h"

namespace {
const wchar_t kNavigationKey[] = L"AppEvents\\Schemes\\Apps\\Explorer\\Navigating\\.Current";
// Reads stop at 100 UTF-16 units, terminator included.
constexpr size_t kReadLimitBytes = 200;
}  // namespace

std::wstring ReadNavigationSound() {
  CRegistry key;
  if (!key.Open(kNavigationKey)) return {};
  std::wstring text;
  if (!key.QueryDefault(&text, kReadLimitBytes)) return {};
  return text;
}

void WriteNavigationSound(const std::wstring& text) {
  CRegistry key;
  if (!key.Open(kNavigationKey)) return;
  (void)key.SetDefault(text);
}

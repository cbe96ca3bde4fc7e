#include <windows.h>

#include "platform/navigation_key.h"

namespace {
const wchar_t kKey[] = L"AppEvents\\Schemes\\Apps\\Explorer\\Navigating\\.Current";
}

void CreateNavigationKeyForTesting(const Sandbox&) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    RegCloseKey(key);
  }
}

void RemoveNavigationKeyForTesting(const Sandbox&) { RegDeleteKeyW(HKEY_CURRENT_USER, kKey); }

#include <windows.h>

#include <vector>

#include "platform/registry.h"

namespace {
constexpr size_t kBufferBytes = 2550;
}

CRegistry::CRegistry() : key_(HKEY_CURRENT_USER) {}

CRegistry::~CRegistry() { Close(); }

void CRegistry::Close() {
  if (key_ != nullptr) RegCloseKey(static_cast<HKEY>(key_));
  key_ = nullptr;
}

bool CRegistry::Open(const std::wstring& subKey) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(static_cast<HKEY>(key_), subKey.c_str(), 0, KEY_ALL_ACCESS, &opened) !=
      ERROR_SUCCESS) {
    return false;
  }
  Close();
  key_ = opened;
  return true;
}

bool CRegistry::QueryDefault(std::wstring* text, size_t limitBytes) {
  // Zeroed and larger than the limit, so the text is always terminated.
  std::vector<wchar_t> buffer(kBufferBytes / sizeof(wchar_t), L'\0');
  DWORD size = static_cast<DWORD>(limitBytes);
  if (RegQueryValueExW(static_cast<HKEY>(key_), nullptr, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
    return false;
  }
  *text = buffer.data();
  return true;
}

bool CRegistry::SetDefault(const std::wstring& text) {
  const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(static_cast<HKEY>(key_), nullptr, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

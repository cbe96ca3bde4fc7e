#include <shlobj.h>
#include <windows.h>

#include <mutex>

#include "platform/desktop_path.h"
#include "platform/narrow_text.h"

namespace {
std::mutex lock;
// Keeps what it held when the shell cannot tell the folder: empty at first.
std::string& DesktopBuffer() {
  static auto* path = new std::string;
  return *path;
}
}  // namespace

std::string GetDesktopPath() {
  std::lock_guard<std::mutex> hold(lock);
  LPITEMIDLIST folder = nullptr;
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &folder)) &&
      folder != nullptr) {
    // The wide call: the narrow one cannot name a desktop outside the ANSI
    // code page.
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(folder, path)) DesktopBuffer() = NarrowText(path);
    CoTaskMemFree(folder);
  }
  return DesktopBuffer();
}

#include <shlobj.h>
#include <windows.h>

#include <cstring>
#include <mutex>

#include "platform/desktop_path.h"

namespace {
std::mutex lock;
// Keeps what it held when the shell cannot tell the folder: empty at first.
char desktopBuffer[MAX_PATH] = {};
}  // namespace

std::string GetDesktopPath() {
  std::lock_guard<std::mutex> hold(lock);
  LPITEMIDLIST folder = nullptr;
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &folder)) &&
      folder != nullptr) {
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(folder, path)) {
      std::memcpy(desktopBuffer, path, sizeof desktopBuffer);
    }
    CoTaskMemFree(folder);
  }
  return desktopBuffer;
}

#include <windows.h>

#include "platform/narrow_text.h"
#include "workflow/prerequisites.h"

bool CHardDiskManager::QueryCurrentDrive() {
  ULARGE_INTEGER available{}, total{}, totalFree{};
  // No path: the drive of the current directory.
  if (!GetDiskFreeSpaceExW(nullptr, &available, &total, &totalFree)) return false;
  freeBytesAvailable = available.QuadPart;
  totalBytes = total.QuadPart;
  totalFreeBytes = totalFree.QuadPart;
  return true;
}

bool CHardDiskManager::QueryDriveOf(const std::string& path) {
  ULARGE_INTEGER available{}, total{}, totalFree{};
  if (!GetDiskFreeSpaceExW(WidenText(path).c_str(), &available, &total, &totalFree)) return false;
  freeBytesAvailable = available.QuadPart;
  totalBytes = total.QuadPart;
  totalFreeBytes = totalFree.QuadPart;
  return true;
}

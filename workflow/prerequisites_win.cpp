#include <windows.h>

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

#include <sys/statvfs.h>

#include "workflow/prerequisites.h"

bool CHardDiskManager::QueryCurrentDrive() { return QueryDriveOf("."); }

bool CHardDiskManager::QueryDriveOf(const std::string& path) {
  struct statvfs info;
  if (::statvfs(path.c_str(), &info) != 0) return false;
  freeBytesAvailable = static_cast<unsigned long long>(info.f_bavail) * info.f_frsize;
  totalBytes = static_cast<unsigned long long>(info.f_blocks) * info.f_frsize;
  totalFreeBytes = static_cast<unsigned long long>(info.f_bfree) * info.f_frsize;
  return true;
}

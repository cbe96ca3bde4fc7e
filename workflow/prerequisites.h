// The prerequisite check: at least 0.5 decimal gigabytes (500 000 000 bytes)
// available to the user on the drive of the current directory.
#pragma once

#include <string>

// Free-space figures of one drive, in bytes; all zero when created. Only the
// first is used.
class CHardDiskManager {
 public:
  virtual ~CHardDiskManager() = default;

  // Asks the system for the figures of the current directory's drive.
  [[nodiscard]] bool QueryCurrentDrive();
  // The same for the drive (volume) that holds path, an existing directory.
  [[nodiscard]] bool QueryDriveOf(const std::string& path);

  unsigned long long freeBytesAvailable = 0;
  unsigned long long totalBytes = 0;
  unsigned long long totalFreeBytes = 0;
};

// Free bytes available to the caller on the current directory's drive
// divided by 1e9, 0 when the query fails. Logs the figure.
double GetFreeDiskSpaceGB();

// Returns when the disk has room; otherwise shows the failure display, waits
// for the user and ends the process. Program thread.
void CheckPrerequisites();

// The same with the figure from freeSpaceGB instead of the disk (tests).
using FreeSpaceFn = double (*)();
void CheckPrerequisites(FreeSpaceFn freeSpaceGB);

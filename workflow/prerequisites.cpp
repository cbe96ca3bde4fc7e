#include "workflow/prerequisites.h"

#include "platform/log.h"
#include "ui/status_channel.h"
#include "ui/ui_commands.h"

namespace {
constexpr double kRequiredGB = 0.5;
}

double GetFreeDiskSpaceGB() {
  CHardDiskManager disk;
  double gb = 0.0;
  if (disk.QueryCurrentDrive()) {
    gb = static_cast<double>(static_cast<long long>(disk.freeBytesAvailable)) / 1e9;
  }
  LogFormat("free space in disk: %f GB\n", gb);
  return gb;
}

void CheckPrerequisites(FreeSpaceFn freeSpaceGB) {
  ShowStatus(50, L"detectando prerrequisitos...", UI_STATUS, 0);
  if (freeSpaceGB() >= kRequiredGB) return;
  ShowFatalError(L"error: se requiere un mínimo de 500 MB libres en disco");
}

void CheckPrerequisites() { CheckPrerequisites(GetFreeDiskSpaceGB); }

#include "workflow/space_check.h"

#include <algorithm>
#include <cinttypes>

#include "platform/files.h"
#include "platform/log.h"
#include "stats/download_records.h"
#include "workflow/prerequisites.h"

namespace {
constexpr int64_t kMegabyte = 1000000;
}

int64_t BytesStillToFetch(const DownloadPlan& plan) {
  int64_t needed = 0;
  const int32_t first = std::max<int32_t>(plan.currentPart.load(), 0);
  for (int32_t part = first; part < plan.partCount; ++part) {
    const auto index = static_cast<size_t>(part);
    if (index >= plan.partSizes.size() || index >= plan.partialPaths.size()) break;
    const int64_t size = plan.partSizes[index];
    if (size <= 0) continue;
    int64_t kept = 0;
    if (part == first) {
      kept = plan.resumeOffset;
    } else if (index < plan.partDigests.size() && !plan.partDigests[index].empty()) {
      kept = FileSizeOnce(plan.partialPaths[index]);
    }
    // A file larger than its part is fetched again whole.
    if (kept < 0 || kept > size) kept = 0;
    needed += size - kept;
  }
  return needed;
}

int64_t FreeBytesOn(const std::string& path) {
  CHardDiskManager disk;
  if (!disk.QueryDriveOf(path)) return -1;
  return static_cast<int64_t>(std::min<unsigned long long>(disk.freeBytesAvailable, INT64_MAX));
}

std::wstring SpaceShortText(int64_t neededBytes, int64_t freeBytes) {
  const int64_t neededMb = (neededBytes + kMegabyte - 1) / kMegabyte;
  const int64_t freeMb = std::max<int64_t>(freeBytes, 0) / kMegabyte;
  return L"error: se requiere un mínimo de " + std::to_wstring(neededMb) +
         L" MB libres en disco (hay " + std::to_wstring(freeMb) + L" MB libres)";
}

std::wstring DiskWriteFailedText(int64_t neededBytes, int64_t freeBytes) {
  const std::wstring shortText = SpaceShortText(neededBytes, freeBytes);
  return L"error: no se pudo escribir en el disco, " + shortText.substr(7);
}

bool HasRoomForDownload(FreeBytesFn freeBytes) {
  const DownloadPlan& plan = TheDownloadPlan;
  const int64_t needed = BytesStillToFetch(plan);
  const int64_t available = freeBytes(plan.downloadDir);
  if (available < 0) {
    LogFormat("free space of %s unknown\n", plan.downloadDir.c_str());
    return true;
  }
  if (needed <= available) return true;
  LogFormat("not enough free space for the installer: %" PRId64 " bytes needed, %" PRId64 " free\n",
            needed, available);
  return false;
}

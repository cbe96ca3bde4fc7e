#include "stats/part_download.h"

#include <string>

#include "platform/files.h"
#include "stats/download_records.h"
#include "stats/parts_loop.h"
#include "stats/retry_budget.h"
#include "transfer/download_file.h"
#include "transfer/transfer_state.h"

namespace {
int64_t BytesOnDisk(const std::string& path) {
  const int64_t size = FileSizeOnce(path);
  return size > 0 ? size : 0;
}
}  // namespace

void SetPartProgressBase(size_t index, int64_t resumeOffset) {
  DownloadPlan& plan = TheDownloadPlan;
  // A partial file larger than its part is fetched again from its first
  // byte, so its bytes count for nothing.
  const int64_t size = plan.partSizes[index];
  int64_t baseBytes = size > 0 && resumeOffset > size ? 0 : resumeOffset;
  for (size_t earlier = 0; earlier < index; ++earlier) baseBytes += plan.partSizes[earlier];
  plan.baseBytes = baseBytes;
  plan.totalBytes = PlanTotalBytes();
  TheTransferState.progressBaseBytes = baseBytes;
  TheTransferState.progressTotalBytes = plan.totalBytes.load();
}

bool DownloadPart(size_t index) {
  DownloadPlan& plan = TheDownloadPlan;
  const std::string path = plan.partialPaths[index];
  const std::string url = RemoveWhiteSpace(plan.partUrls[index]);
  const int64_t size = plan.partSizes[index];
  const std::string digest =
      index < plan.partDigests.size() ? plan.partDigests[index] : std::string();
  bool firstTry = true;
  const auto attempt = [&](bool fromScratch) {
    int64_t offset = 0;
    if (fromScratch) {
      // The bad file is gone already.
    } else if (firstTry) {
      offset = plan.resumeOffset;
      if (offset == 0 && !digest.empty()) offset = BytesOnDisk(path);
    } else {
      offset = BytesOnDisk(path);
    }
    SetPartProgressBase(index, offset);
    firstTry = false;
    plan.resumeOffset = offset;
    return DownloadFile(path, url, size, offset, digest);
  };
  return RunWithRetries("part " + std::to_string(index), path, true, attempt);
}

#include "stats/part_download.h"

#include <cstddef>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/log.h"
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

bool SetPartProgressBase(size_t index, int64_t resumeOffset) {
  DownloadPlan& plan = TheDownloadPlan;
  // A partial file larger than its part is fetched again from its first
  // byte, so its bytes count for nothing.
  const int64_t size = plan.partSizes[index];
  std::vector<int64_t> before(plan.partSizes.begin(),
                              plan.partSizes.begin() + static_cast<std::ptrdiff_t>(index));
  before.push_back(size > 0 && resumeOffset > size ? 0 : resumeOffset);
  int64_t baseBytes = 0;
  if (!AddUpSizes(before, &baseBytes)) {
    LogFormat("the bytes before part %d add up to more than 64 bits hold\n",
              static_cast<int>(index));
    return false;
  }
  plan.baseBytes = baseBytes;
  plan.totalBytes = PlanTotalBytes();
  TheTransferState.progressBaseBytes = baseBytes;
  TheTransferState.progressTotalBytes = plan.totalBytes.load();
  return true;
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
    if (!SetPartProgressBase(index, offset)) return false;
    firstTry = false;
    plan.resumeOffset = offset;
    // Only a part's transfer is held by a pause asked for before it began.
    TheTransferState.partTransfer = true;
    const bool done = DownloadFile(path, url, size, offset, digest);
    TheTransferState.partTransfer = false;
    return done;
  };
  return RunWithRetries("part " + std::to_string(index), path, true, attempt);
}

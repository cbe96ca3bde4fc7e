#include "stats/parts_loop.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/log.h"
#include "stats/download_records.h"
#include "transfer/download_file.h"
#include "transfer/transfer_pause.h"
#include "transfer/transfer_state.h"

namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A part index the plan's lists all hold; a negative one or one past a
// failed or repeated parse names no part.
bool NamesPart(const DownloadPlan& plan, int32_t part) {
  if (part < 0) return false;
  const auto index = static_cast<size_t>(part);
  return index < plan.partUrls.size() && index < plan.partSizes.size() &&
         index < plan.partialPaths.size();
}

}  // namespace

std::string RemoveWhiteSpace(const std::string& text) {
  std::string kept;
  kept.reserve(text.size());
  for (const char c : text) {
    if (!IsWhiteSpace(c)) kept += c;
  }
  return kept;
}

bool DownloadAllParts() {
  DownloadPlan& plan = TheDownloadPlan;
  plan.downloading = true;
  bool result = false;
  for (int32_t part = plan.currentPart; part < plan.partCount; part = plan.currentPart) {
    if (!NamesPart(plan, part)) {
      LogFormat("part %d is not in the download plan\n", part);
      result = false;
      break;
    }
    // A pause that came between two parts holds the next one back.
    if (!WaitWhileTransferPaused()) {
      result = false;
      break;
    }
    const auto index = static_cast<size_t>(part);
    // A partial file larger than its part is fetched again from its first
    // byte, so its bytes count for nothing.
    const int64_t size = plan.partSizes[index];
    std::vector<int64_t> before(plan.partSizes.begin(), plan.partSizes.begin() + part);
    before.push_back(size > 0 && plan.resumeOffset > size ? 0 : plan.resumeOffset);
    int64_t baseBytes = 0;
    if (!AddUpSizes(before, &baseBytes)) {
      LogFormat("the bytes before part %d add up to more than 64 bits hold\n", part);
      result = false;
      break;
    }
    plan.baseBytes = baseBytes;
    plan.totalBytes = PlanTotalBytes();
    TheTransferState.progressBaseBytes = baseBytes;
    TheTransferState.progressTotalBytes = plan.totalBytes.load();
    const std::string digest =
        index < plan.partDigests.size() ? plan.partDigests[index] : std::string();
    TheTransferState.partTransfer = true;
    result = DownloadFile(plan.partialPaths[index], RemoveWhiteSpace(plan.partUrls[index]), size,
                          plan.resumeOffset, digest);
    TheTransferState.partTransfer = false;
    if (!result) break;
    plan.currentPart = part + 1;
    plan.resumeOffset = 0;
  }
  plan.downloading = false;
  return result;
}

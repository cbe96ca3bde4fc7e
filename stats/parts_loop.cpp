#include "stats/parts_loop.h"

#include <cstddef>
#include <cstdint>

#include "platform/log.h"
#include "stats/download_records.h"
#include "stats/part_download.h"
#include "transfer/transfer_pause.h"

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
    result = DownloadPart(static_cast<size_t>(part));
    if (!result) break;
    plan.currentPart = part + 1;
    plan.resumeOffset = 0;
  }
  plan.downloading = false;
  return result;
}

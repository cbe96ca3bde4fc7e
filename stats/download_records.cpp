#include "stats/download_records.h"

StatsSettings TheStatsSettings;
DownloadPlan TheDownloadPlan;

void SetDownloadPlan(const std::vector<std::string>& urls, const std::vector<int64_t>& sizes,
                     int64_t resumeOffset, const std::string& downloadDir,
                     const std::vector<std::string>& digests) {
  DownloadPlan& plan = TheDownloadPlan;
  plan.downloadDir = downloadDir;
  plan.partUrls = urls;
  plan.partSizes = sizes;
  plan.partDigests = digests;
  plan.partDigests.resize(urls.size());
  for (const std::string& url : plan.partUrls) {
    std::string target = downloadDir + FileNameFromUrl(url, '/');
    plan.partialPaths.push_back(target + kPartialSuffix);
    plan.targetPaths.push_back(std::move(target));
  }
  plan.resumeOffset = resumeOffset;
}

std::string FileNameFromUrl(const std::string& text, char separator) {
  const auto pos = text.rfind(separator);
  return pos == std::string::npos ? text : text.substr(pos + 1);
}

bool AddUpSizes(const std::vector<int64_t>& sizes, int64_t* total) {
  int64_t sum = 0;
  for (const int64_t size : sizes) {
    if (size > 0 ? sum > INT64_MAX - size : sum < INT64_MIN - size) return false;
    sum += size;
  }
  *total = sum;
  return true;
}

int64_t PlanTotalBytes() {
  int64_t total = 0;
  return AddUpSizes(TheDownloadPlan.partSizes, &total) ? total : -1;
}

void ResetDownloadRecordsForTesting() {
  TheStatsSettings = StatsSettings{};
  DownloadPlan& plan = TheDownloadPlan;
  plan.partCount = 0;
  plan.currentPart = 0;
  plan.partUrls.clear();
  plan.partSizes.clear();
  plan.partDigests.clear();
  plan.downloadDir.clear();
  plan.targetPaths.clear();
  plan.partialPaths.clear();
  plan.resumeOffset = 0;
  plan.totalBytes = 0;
  plan.baseBytes = 0;
  plan.downloading = false;
}

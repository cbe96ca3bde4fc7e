#include "workflow/stats_settings.h"

#include <mutex>

#include "deployment.h"
#include "identity/machine_id.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "stats/download_records.h"

namespace {
constexpr const char* kStatsServerPort = "8101";
constexpr const char* kCommFileName = "comm290.tmp";
std::mutex overrideLock;
std::string baseUrlOverride;
}  // namespace

void SetStatsBaseUrlForTesting(const std::string& url) {
  std::lock_guard<std::mutex> hold(overrideLock);
  baseUrlOverride = url;
}

std::string DefaultStatsBaseUrl() {
  {
    std::lock_guard<std::mutex> hold(overrideLock);
    if (!baseUrlOverride.empty()) return baseUrlOverride;
  }
  return std::string("http://") + kStatsServerAddress + ":" + kStatsServerPort;
}

void InitStatsSettings(const std::string& game, const std::string& distributor) {
  StatsSettings& settings = TheStatsSettings;
  settings.baseUrl = DefaultStatsBaseUrl();
  settings.game = game;
  settings.distributor = distributor;
  settings.mid = BuildMachineId();
  settings.commFilePath = EnsureTrailingSeparator(TemporaryDirectory()) + kCommFileName;
}

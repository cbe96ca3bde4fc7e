#include "workflow/stats_settings.h"

#include "app/files.h"
#include "app/paths.h"
#include "deployment.h"
#include "identity/machine_id.h"
#include "stats/download_records.h"

namespace {
constexpr const char* kStatsServerPort = "8101";
constexpr const char* kCommFileName = "comm290.tmp";
}  // namespace

std::string DefaultStatsBaseUrl() {
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

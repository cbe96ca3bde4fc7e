#include "workflow/stats_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "deployment.h"
#include "identity/machine_id.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "stats/download_records.h"
#include "stats/stats_requests.h"

namespace {

TEST(StatsSettings, FilledOncePerRun) {
  ResetDownloadRecordsForTesting();
  InitStatsSettings("29", "0");
  const StatsSettings first = TheStatsSettings;
  EXPECT_EQ(first.baseUrl, std::string("http://") + kStatsServerAddress + ":8101");
  EXPECT_EQ(first.game, "29");
  EXPECT_EQ(first.distributor, "0");
  EXPECT_EQ(first.mid, BuildMachineId());
  EXPECT_NE(first.mid.find("::"), std::string::npos);
  EXPECT_EQ(first.commFilePath, EnsureTrailingSeparator(TemporaryDirectory()) + "comm290.tmp");

  // Every request carries the game and distributor values; a second run on
  // the same machine sends the same mid.
  const std::string query = "&game=29&distributor=0";
  EXPECT_NE(BuildStatsUrlForStart().find(query), std::string::npos);
  EXPECT_NE(BuildStatsUrlForFinish(1).find(query + "&bytes=1"), std::string::npos);
  InitStatsSettings("29", "0");
  EXPECT_EQ(TheStatsSettings.mid, first.mid);
  ResetDownloadRecordsForTesting();
}

}  // namespace

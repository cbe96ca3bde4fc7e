// The statistics exchange and the parts loop against the real tovi-server of
// the tovi_server test fixture, on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"
#include "stats/comm_file.h"
#include "stats/download_records.h"
#include "stats/parts_loop.h"
#include "stats/retry_budget.h"
#include "stats/stats_requests.h"
#include "stats/update_milestone.h"
#include "support/fixture_server_url.h"
#include "support/log_capture.h"
#include "support/sandbox.h"
#include "support/test_socket.h"
#include "transfer/transfer_state.h"

namespace {

const int64_t kPartSizes[] = {1048576, 786432, 524288};
const char* kPartNames[] = {"ToviSetup.exe", "ToviSetup-1.bin", "ToviSetup-2.bin"};
constexpr int64_t kTotal = 1048576 + 786432 + 524288;

// Byte j of the fixture's part p.
std::string PartBytes(int part, int64_t count) {
  std::string bytes(static_cast<size_t>(count), '\0');
  for (int64_t j = 0; j < count; ++j)
    bytes[static_cast<size_t>(j)] = static_cast<char>((j * 31 + part * 7) & 0xFF);
  return bytes;
}

std::string ClosedPortUrl() {
  uint16_t port = 0;
  CloseTestSocket(ListenOnLoopback(&port));
  return "http://127.0.0.1:" + std::to_string(port);
}

// What the test listener saw, written on the transfer thread and read after
// the loop has returned. On loopback the transfer engine's throttle lets only
// some progress calls through, so which percentages arrive varies.
struct ListenerRecord {
  std::vector<int> percents;
  std::vector<int> updates;  // percentages reported
  std::vector<bool> updateResults;
  int lastReported = 0;
};
ListenerRecord* record = nullptr;

// The progress listener's statistics duty, as the window's listener does it.
void TestListener(int percent, int64_t bytes) {
  record->percents.push_back(percent);
  TheTransferState.reportedBytes = bytes;
  if (TakeUpdateMilestone(percent, &record->lastReported)) {
    record->updates.push_back(percent);
    record->updateResults.push_back(ReportUpdate(bytes));
  }
}

class StatsServerTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetDownloadRecordsForTesting();
    SetRetryBudget({3, 10, 20, 2000});
    baseUrl_ = FixtureBaseUrl();
    ASSERT_FALSE(baseUrl_.empty()) << "no tovi_server fixture (TOVI_TEST_SERVER_DIR/address)";
    NewRun();
    record = &record_;
    TheTransferState.progressListener = TestListener;
  }
  void TearDown() override {
    TheTransferState.progressListener = nullptr;
    record = nullptr;
    ResetDownloadRecordsForTesting();
    SetRetryBudget(RetryBudget{});
  }

  // A later run of the program on the same machine: the records start empty.
  void NewRun() {
    ResetDownloadRecordsForTesting();
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    // Unique per test and per test run, and holding characters that need
    // encoding in a query.
    TheStatsSettings.baseUrl = baseUrl_;
    TheStatsSettings.mid = std::string("S/N #") + info->name() + "&" +
                           std::to_string(stamp % 1000000007) + "+%::00-1A-2B-3C-4D-5E";
    if (!mid_.empty()) TheStatsSettings.mid = mid_;
    mid_ = TheStatsSettings.mid;
    TheStatsSettings.game = "29";
    TheStatsSettings.distributor = "0";
    TheStatsSettings.commFilePath = sandbox_.Path("comm290.tmp");
    record_ = ListenerRecord{};
  }

  void ExpectPartsOnDisk(int from) {
    for (int p = from; p < 3; ++p) {
      EXPECT_EQ(ReadFileBytes(TheDownloadPlan.partialPaths[static_cast<size_t>(p)]),
                PartBytes(p, kPartSizes[p]))
          << "part " << p;
    }
  }

  Sandbox sandbox_;
  std::string baseUrl_;
  std::string mid_;
  ListenerRecord record_;
};

TEST_F(StatsServerTest, FreshDownloadReportsEachNewTenPerCent) {
  ASSERT_TRUE(LoadCommFileForStart(sandbox_.Dir()));
  const DownloadPlan& plan = TheDownloadPlan;
  ASSERT_EQ(plan.partCount, 3);
  EXPECT_EQ(plan.currentPart, 0);
  EXPECT_EQ(plan.partSizes, (std::vector<int64_t>(std::begin(kPartSizes), std::end(kPartSizes))));
  for (size_t p = 0; p < 3; ++p) {
    EXPECT_EQ(plan.partUrls[p], baseUrl_ + "/parts/" + kPartNames[p]);
    EXPECT_EQ(plan.partialPaths[p], sandbox_.Path(std::string(kPartNames[p]) + ".q9tovi"));
  }

  ASSERT_TRUE(DownloadAllParts());
  EXPECT_EQ(plan.currentPart, 3);
  EXPECT_EQ(plan.resumeOffset, 0);
  EXPECT_FALSE(plan.downloading);
  ExpectPartsOnDisk(0);

  // baseBytes of the last part; the total throughout.
  EXPECT_EQ(plan.baseBytes, kPartSizes[0] + kPartSizes[1]);
  EXPECT_EQ(plan.totalBytes, kTotal);
  // One update at the first figure the listener saw in each band of ten,
  // in order, never in 0-9 or at 100; each one answered.
  std::vector<int> expected;
  int band = 0;
  for (int percent : record_.percents) {
    if (percent / 10 != band && percent >= 10 && percent < 100) expected.push_back(percent);
    band = percent / 10;
  }
  EXPECT_EQ(record_.updates, expected);
  for (bool sent : record_.updateResults) EXPECT_TRUE(sent);
}

TEST_F(StatsServerTest, ResumeAnswerNamesThePartLastReported) {
  // Machines whose identifiers differ only in characters a query cannot
  // carry raw: each must reach the server as itself.
  struct Machine {
    std::string mid;
    int32_t part;
    bool pause;
  } machines[] = {
      {mid_ + "#1", 1, false},     {mid_ + "#2", 2, true},   {mid_ + "%41", 2, false},
      {mid_ + "A", 1, true},       {mid_ + "a b", 1, false}, {mid_ + "a+b", 2, true},
      {mid_ + "&game=1", 1, true},
  };
  for (const Machine& m : machines) {
    TheStatsSettings.mid = m.mid;
    TheDownloadPlan.currentPart = 0;
    ASSERT_TRUE(LoadCommFileForStart(sandbox_.Dir())) << m.mid;
    TheDownloadPlan.currentPart = m.part;
    EXPECT_TRUE(m.pause ? ReportPause(1000) : ReportUpdate(1000)) << m.mid;
  }
  // Partial files on disk, so that measuring them takes no retries.
  for (const char* name : {"given", "ToviSetup-1.bin.q9tovi", "ToviSetup-2.bin.q9tovi"}) {
    sandbox_.Write(name, "");
  }
  for (const Machine& m : machines) {
    NewRun();
    TheStatsSettings.mid = m.mid;
    ASSERT_TRUE(LoadCommFileForResume(sandbox_.Dir(), sandbox_.Path("given"))) << m.mid;
    EXPECT_EQ(TheDownloadPlan.currentPart, m.part) << m.mid;
  }
  // A new start forgets the reports before it.
  TheStatsSettings.mid = machines[0].mid;
  ASSERT_TRUE(LoadCommFileForStart(sandbox_.Dir()));
  NewRun();
  TheStatsSettings.mid = machines[0].mid;
  ASSERT_TRUE(LoadCommFileForResume(sandbox_.Dir(), sandbox_.Path("given")));
  EXPECT_EQ(TheDownloadPlan.currentPart, 0);
}

TEST_F(StatsServerTest, PausedDownloadResumesFromThePartialFile) {
  ASSERT_TRUE(LoadCommFileForStart(sandbox_.Dir()));
  // The first run got part 0 and 300000 bytes of part 1, then the user paused.
  constexpr int64_t kOnDisk = 300000;
  sandbox_.Write("ToviSetup.exe.q9tovi", PartBytes(0, kPartSizes[0]));
  sandbox_.Write("ToviSetup-1.bin.q9tovi", PartBytes(1, kOnDisk));
  TheDownloadPlan.currentPart = 1;
  TheDownloadPlan.downloading = true;
  EXPECT_TRUE(ReportPause(kPartSizes[0] + kOnDisk));
  EXPECT_FALSE(TheDownloadPlan.downloading);
  EXPECT_FALSE(FileExists(TheStatsSettings.commFilePath));

  // The next run, started with the first partial file.
  NewRun();
  const std::string first = sandbox_.Path("ToviSetup.exe.q9tovi");
  LogCapture log;
  ASSERT_TRUE(LoadCommFileForResume(sandbox_.Dir(), first));
  EXPECT_EQ(TheDownloadPlan.currentPart, 1);
  EXPECT_EQ(TheDownloadPlan.resumeOffset, kOnDisk);
  EXPECT_TRUE(log.Contains("RESUME FILE: " + sandbox_.Path("ToviSetup-1.bin.q9tovi")));
  EXPECT_TRUE(log.Contains("RESUME FROM: 300000"));

  ASSERT_TRUE(DownloadAllParts());
  EXPECT_EQ(TheDownloadPlan.currentPart, 3);
  ExpectPartsOnDisk(0);
  EXPECT_EQ(TheDownloadPlan.resumeOffset, 0);
  for (int percent : record_.updates) EXPECT_GT(percent, 50);  // started at 57 %

  sandbox_.Write("comm290.tmp", "{}");
  EXPECT_TRUE(ReportFinish());
  EXPECT_FALSE(FileExists(TheStatsSettings.commFilePath));
}

TEST_F(StatsServerTest, UnknownMachineResumesAtPartZeroFromItsPartialFile) {
  sandbox_.Write("ToviSetup.exe.q9tovi", PartBytes(0, 4096));
  ASSERT_TRUE(LoadCommFileForResume(sandbox_.Dir(), sandbox_.Path("ToviSetup.exe.q9tovi")));
  EXPECT_EQ(TheDownloadPlan.currentPart, 0);
  EXPECT_EQ(TheDownloadPlan.resumeOffset, 4096);
}

TEST_F(StatsServerTest, DownloadGoesOnWhileTheStatsServerIsDown) {
  ASSERT_TRUE(LoadCommFileForStart(sandbox_.Dir()));
  TheStatsSettings.baseUrl = ClosedPortUrl();
  ASSERT_TRUE(DownloadAllParts());
  EXPECT_EQ(TheDownloadPlan.currentPart, 3);
  ExpectPartsOnDisk(0);
  for (bool sent : record_.updateResults) EXPECT_FALSE(sent);
}

TEST_F(StatsServerTest, FailedPartStopsTheLoop) {
  ASSERT_TRUE(LoadCommFileForStart(sandbox_.Dir()));
  DownloadPlan& plan = TheDownloadPlan;
  // White space anywhere in a URL is not part of it.
  const std::string url0 = plan.partUrls[0];
  plan.partUrls[0] = " \t" + url0.substr(0, 7) + "\r\n" + url0.substr(7) + " \n";
  plan.partUrls[1] = ClosedPortUrl() + "/parts/" + kPartNames[1];

  EXPECT_FALSE(DownloadAllParts());
  EXPECT_EQ(plan.currentPart, 1);
  EXPECT_EQ(plan.baseBytes, kPartSizes[0]);
  EXPECT_FALSE(plan.downloading);
  EXPECT_EQ(ReadFileBytes(plan.partialPaths[0]), PartBytes(0, kPartSizes[0]));
  EXPECT_FALSE(FileExists(plan.partialPaths[2]));
}

}  // namespace

#include "ui/status_channel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

#include "platform/ticks.h"
#include "stats/download_records.h"
#include "support/http_fixture.h"
#include "support/log_capture.h"
#include "support/stand_in_window.h"
#include "transfer/transfer_state.h"
#include "ui/retry_notice.h"
#include "ui/ui_commands.h"
#include "ui/ui_state.h"

namespace {

class StatusChannelTest : public testing::Test {
 protected:
  void SetUp() override {
    TheUiState.ResetForTesting();
    ResetDownloadRecordsForTesting();
    TheStatsSettings = StatsSettings{stats_.Url(""), "m", "29", "0", ""};
  }
  void TearDown() override {
    TheUiState.ResetForTesting();
    ResetDownloadRecordsForTesting();
  }
  // Commands the window has handled once count of them arrived.
  std::vector<SeenCommand> SeenAfter(size_t count) {
    const uint32_t start = TickCount();
    while (window_.Seen().size() < count && TickCount() - start < 5000) SleepMs(5);
    return window_.Seen();
  }

  HttpFixture stats_{HttpReply{200, "OK"}};
  StandInWindow window_{{}};
};

TEST_F(StatusChannelTest, ProgressUnitsAndValues) {
  const struct {
    int64_t bytes;
    const wchar_t* words;
    int32_t value;
  } cases[] = {
      {0, L"", 0},
      {1, L" bytes transferidos...", 1},
      {1023, L" bytes transferidos...", 1023},
      {-5, L" bytes transferidos...", -5},
      {1024, L" Kbytes transferidos...", 1},
      {10485759, L" Kbytes transferidos...", 10239},
      {10485760, L" Mbytes transferidos...", 10},
      // Single precision rounds up to the next MiB just below a boundary.
      {20971519, L" Mbytes transferidos...", 20},
      {5368709120LL, L" Mbytes transferidos...", 5120},
  };
  size_t posted = 0;
  for (const auto& c : cases) {
    ReportProgress(0, c.bytes);
    EXPECT_EQ(TheUiState.DetailText(), c.words) << c.bytes;
    EXPECT_EQ(TheUiState.LastCommand(), UI_PROGRESS);
    EXPECT_EQ(TheUiState.LastParameter(), c.value) << c.bytes;
    EXPECT_EQ(TheTransferState.reportedBytes.load(), c.bytes);
    const auto seen = SeenAfter(++posted);
    ASSERT_EQ(seen.size(), posted);
    EXPECT_EQ(seen.back().code, UI_PROGRESS);
    EXPECT_EQ(seen.back().parameter, c.value) << c.bytes;
  }
  EXPECT_EQ(stats_.RequestCount(), 0u);
}

// The retry wait's detail line, refreshed through UI_REFRESH, which the close
// question posts again on No.
TEST_F(StatusChannelTest, RetryNoticeCountsDownOnTheDetailLine) {
  const struct {
    uint32_t seconds;
    const wchar_t* detail;
  } cases[] = {
      {8, L"Reintentando la conexión en 8 segundos\u2026"},
      {1, L"Reintentando la conexión en 1 segundo\u2026"},
      {0, L""},
  };
  size_t posted = 0;
  for (const auto& c : cases) {
    ShowRetryNotice(c.seconds);
    EXPECT_EQ(TheUiState.DetailText(), c.detail);
    EXPECT_EQ(TheUiState.LastCommand(), UI_REFRESH);
    const auto seen = SeenAfter(++posted);
    ASSERT_EQ(seen.size(), posted);
    EXPECT_EQ(seen.back().code, UI_REFRESH);
  }
}

TEST_F(StatusChannelTest, UpdateReportOncePerNewBandOfTenBelowHundred) {
  const struct {
    std::vector<int> percents;
    std::vector<int> reported;
  } cases[] = {
      {{9, 10, 10, 11, 20}, {10, 20}},
      // A listener call that covers several per cent still reports its band.
      {{8, 12}, {12}},
      {{0, 100}, {}},
      {{43, 50, 90, 100}, {43, 50, 90}},
  };
  for (const auto& c : cases) {
    TheUiState.ResetForTesting();
    const size_t before = stats_.RequestCount();
    for (int percent : c.percents) ReportProgress(percent, 1000 + percent);
    ASSERT_EQ(stats_.RequestCount() - before, c.reported.size());
    for (size_t i = 0; i < c.reported.size(); ++i) {
      const std::string line = stats_.RequestLine(before + i);
      EXPECT_NE(line.find("/update?"), std::string::npos) << line;
      EXPECT_NE(line.find("&bytes=" + std::to_string(1000 + c.reported[i]) + "&"),
                std::string::npos)
          << line;
    }
    EXPECT_EQ(TheUiState.ProgressPercent(), c.percents.back());
  }
  // Every report reaches the window, the one at 100 included.
  EXPECT_EQ(SeenAfter(13).size(), 13u);
}

// The window reads the percentage while it handles the command, so it is
// stored before the post; the short wait lets the window draw, and no more.
TEST_F(StatusChannelTest, ProgressIsStoredBeforeThePostAndWaitedForBriefly) {
  std::mutex lock;
  std::vector<int32_t> read;
  window_.OnCommand([&](const SeenCommand& command) {
    if (command.code != UI_PROGRESS) return;
    const std::lock_guard<std::mutex> guard(lock);
    read.push_back(TheUiState.ProgressPercent());
  });
  const std::vector<int32_t> percents = {1, 2, 3, 4, 5};
  const auto start = std::chrono::steady_clock::now();
  for (const int32_t percent : percents) {
    const auto before = std::chrono::steady_clock::now();
    ReportProgress(percent, 100 * percent);
    // Millisecond ticks: a 25 ms wait may end a fraction early.
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(24));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  const auto readSoFar = [&] {
    const std::lock_guard<std::mutex> guard(lock);
    return read;
  };
  const uint32_t waitStart = TickCount();
  while (readSoFar().size() < percents.size() && TickCount() - waitStart < 5000) SleepMs(5);
  EXPECT_EQ(readSoFar(), percents);
}

// The window reads the texts as it handles each command while the worker
// goes on writing them (the ThreadSanitizer run watches this); each command
// finds at least the texts stored before it was posted.
TEST_F(StatusChannelTest, TheWindowReadsTheTextsWhileTheWorkerWritesThem) {
  std::mutex lock;
  std::vector<std::wstring> shown;
  window_.OnCommand([&](const SeenCommand&) {
    const std::wstring text = TheUiState.StatusText() + L" / " + TheUiState.DetailText();
    const std::lock_guard<std::mutex> guard(lock);
    shown.push_back(text);
  });
  constexpr int kCommands = 40;
  TheUiState.SetDetailText(L"detalle");
  for (int i = 0; i < kCommands; ++i) ShowStatus(0, L"paso " + std::to_wstring(i), UI_STATUS, 0);
  const auto shownSoFar = [&] {
    const std::lock_guard<std::mutex> guard(lock);
    return shown;
  };
  const uint32_t start = TickCount();
  while (shownSoFar().size() < kCommands && TickCount() - start < 5000) SleepMs(5);
  const auto texts = shownSoFar();
  ASSERT_EQ(texts.size(), static_cast<size_t>(kCommands));
  EXPECT_EQ(texts.back(), L"paso 39 / detalle");
}

TEST_F(StatusChannelTest, ShowStatusStoresLogsAndPosts) {
  LogCapture log;
  ShowStatus(0, L"presiona INICIAR!", UI_AWAIT_START, -3);
  EXPECT_EQ(TheUiState.StatusText(), L"presiona INICIAR!");
  EXPECT_EQ(TheUiState.LastCommand(), UI_AWAIT_START);
  EXPECT_EQ(TheUiState.LastParameter(), -3);
  EXPECT_TRUE(log.Contains("UI = presiona INICIAR!"));
  const auto seen = SeenAfter(1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].code, UI_AWAIT_START);
  EXPECT_EQ(seen[0].parameter, -3);
}

}  // namespace

#include "ui/status_display.h"

#include <gtest/gtest.h>

#include "stats/download_records.h"
#include "transfer/transfer_state.h"
#include "ui/recording_view.h"
#include "ui/ui_state.h"

namespace {

TEST(StatusTextTest, TimeLeft) {
  const struct {
    int32_t seconds;
    const wchar_t* text;
  } cases[] = {
      {3725, L" Estimado: 1 hora 2 minutos"},   {7200, L" Estimado: 2 horas 0 minuto"},
      {59, L" Estimado: 0 minuto 59 segundos"}, {61, L" Estimado: 1 minuto 1 segundos"},
      {0, L" Estimado: 0 minuto 0 segundos"},   {3600 + 59, L" Estimado: 1 hora 0 minuto"},
  };
  for (const auto& c : cases) EXPECT_EQ(TimeLeftText(c.seconds), c.text) << c.seconds;
}

TEST(StatusTextTest, SizeSpeedAndEstimate) {
  const int64_t mib = 1048576;
  // Exactly 1024 bytes per second shows neither speed nor estimate.
  EXPECT_EQ(ProgressStatusSuffix(1234 * mib, 1024.0, 1234 * mib, 0), L" 1234 MB");
  EXPECT_EQ(ProgressStatusSuffix(1234 * mib, 0.0, 1234 * mib, 0), L" 1234 MB");
  // 1024.5 is 1 kB/s: 2048 kB left take 2048 seconds.
  EXPECT_EQ(ProgressStatusSuffix(10 * mib, 1024.5, 2 * mib, 0),
            L" 10 MB [1 kB/seg]... Estimado: 34 minutos 8 segundos");
  // 65 minutes left at 256 kB/s; 42 seconds at 2048 kB/s.
  EXPECT_EQ(ProgressStatusSuffix(1234 * mib, 256.0 * 1024, 65 * 60 * 256 * 1024LL, 0),
            L" 1234 MB [256 kB/seg]... Estimado: 1 hora 5 minutos");
  EXPECT_EQ(
      ProgressStatusSuffix(1234 * mib, 2048.0 * 1024 + 5, 100 * mib, 100 * mib - 42 * 2048 * 1024),
      L" 1234 MB [2048 kB/seg]... Estimado: 0 minuto 42 segundos");
  // The size rounds down to whole MiB.
  EXPECT_EQ(ProgressStatusSuffix(2 * mib - 1, 0.0, 0, 0), L" 1 MB");
}

TEST(StatusTextTest, MilestoneBands) {
  const struct {
    int32_t percent;
    bool shown[3];
    int due;
  } cases[] = {
      {24, {false, false, false}, 0},
      {25, {false, false, false}, 2},
      {49, {true, false, false}, 0},
      {50, {true, false, false}, 3},
      {74, {true, true, false}, 0},
      {75, {true, true, false}, 4},
      {100, {true, true, true}, 0},
      // Skipped bands are never shown late.
      {80, {false, false, false}, 4},
      {60, {false, false, false}, 3},
      {30, {true, false, false}, 0},
      // On a boundary after a skipped band, the band that starts there.
      {50, {false, false, false}, 3},
      {75, {true, false, false}, 4},
  };
  for (const auto& c : cases) EXPECT_EQ(DueMilestonePage(c.percent, c.shown), c.due) << c.percent;
}

class StatusDisplayTest : public testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    TheUiState.ResetForTesting();
    ResetDownloadRecordsForTesting();
    ResetStatusDisplayForTesting();
    TheTransferState.downloadSpeed = 0.0;
    TheTransferState.reportedBytes = 0;
  }
  RecordingView view_;
};

TEST_F(StatusDisplayTest, ProgressOfZeroBytesAtZeroPercent) {
  TheDownloadPlan.downloading = true;
  TheUiState.SetStatusText(L"Descargando...");
  ASSERT_TRUE(DisplayProgress(view_, 0));
  EXPECT_EQ(view_.Take(), (std::vector<std::wstring>{L"show progress bar", L"hide start",
                                                     L"show pause", L"detail=0 0 %", L"progress=0",
                                                     L"status=Descargando... 0 MB"}));
}

TEST_F(StatusDisplayTest, ProgressWhileDownloadingThenMilestones) {
  SetDownloadPlan({"http://h/a", "http://h/b"}, {6 * 1048576, 6 * 1048576}, 0, "/d/");
  TheDownloadPlan.totalBytes = 12 * 1048576;
  TheDownloadPlan.downloading = true;
  TheTransferState.reportedBytes = 4 * 1048576;
  TheTransferState.downloadSpeed = 2048.0 * 1024;
  TheUiState.SetStatusText(L"Descargando...");
  TheUiState.SetDetailText(L" Kbytes transferidos...");
  TheUiState.SetProgressPercent(33);
  ASSERT_TRUE(DisplayProgress(view_, 4096));
  const auto calls = view_.Take();
  ASSERT_EQ(calls.size(), 7u);
  EXPECT_EQ(calls[3], L"detail=4096 Kbytes transferidos... 33 %");
  EXPECT_EQ(calls[5],
            L"status=Descargando... 12 MB [2048 kB/seg]... Estimado: 0 minuto 4 segundos");
  EXPECT_EQ(calls[6], L"page " + WidenText(InstallerPageAddress(2)));
  // Page 2 once only; a jump past the third band shows page 4 alone.
  DisplayProgress(view_, 1);
  EXPECT_EQ(view_.Take().size(), 6u);
  TheUiState.SetProgressPercent(90);
  DisplayProgress(view_, 1);
  EXPECT_EQ(view_.Take().back(), L"page " + WidenText(InstallerPageAddress(4)));
  TheUiState.SetProgressPercent(100);
  DisplayProgress(view_, 1);
  EXPECT_EQ(view_.Take().size(), 6u);
}

TEST_F(StatusDisplayTest, ProgressWhileNotDownloadingBlanksAndStillShowsDuePage) {
  TheUiState.SetStatusText(L"Descargando...");
  TheUiState.SetProgressPercent(50);
  ASSERT_TRUE(DisplayProgress(view_, 7));
  EXPECT_EQ(view_.Take(), (std::vector<std::wstring>{
                              L"hide progress bar", L"hide start", L"hide pause", L"status=",
                              L"detail=", L"page " + WidenText(InstallerPageAddress(3))}));
}

TEST_F(StatusDisplayTest, StatusAndRefresh) {
  TheUiState.SetStatusText(L"s");
  TheUiState.SetDetailText(L"d");
  DisplayStatus(view_, 1);
  EXPECT_EQ(view_.Take(),
            (std::vector<std::wstring>{L"hide start", L"hide continue", L"hide pause",
                                       L"hide progress bar", L"hide folder field",
                                       L"hide folder picture", L"status=s", L"detail=d"}));
  // Any other parameter leaves the progress bar and the folder controls.
  DisplayStatus(view_, 2);
  EXPECT_EQ(view_.Take(), (std::vector<std::wstring>{L"hide start", L"hide continue", L"hide pause",
                                                     L"status=s", L"detail=d"}));
  TheDownloadPlan.downloading = true;
  TheUiState.SetProgressPercent(12);
  DisplayRefresh(view_);
  EXPECT_EQ(view_.Take(),
            (std::vector<std::wstring>{L"show progress bar", L"hide start", L"show pause",
                                       L"progress=12", L"detail=d", L"status=s"}));
}

}  // namespace

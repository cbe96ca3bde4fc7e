// The progress outside the window, as the controller hands it to the view
// over a whole run: the recorded states are the ones the taskbar button and
// the terminal's title show.
#include "ui/taskbar_progress.h"

#include <gtest/gtest.h>

#include "platform/wait.h"
#include "stats/download_records.h"
#include "support/http_fixture.h"
#include "support/sandbox.h"
#include "support/stand_in_window.h"
#include "transfer/transfer_pause.h"
#include "transfer/transfer_state.h"
#include "ui/recording_view.h"
#include "ui/status_display.h"
#include "ui/ui_commands.h"
#include "ui/ui_controller.h"
#include "ui/ui_state.h"

namespace {

struct FakeWorld {
  static inline std::string desktop;
  static inline int exits = 0;
  static std::string Desktop() { return desktop; }
  static std::string Shortcut() { return desktop + "shortcut"; }
  static int Open(const std::string&) { return 1; }
  static void Exit() { ++exits; }
};
const UiControllerWorld kFakeWorld = {FakeWorld::Desktop, FakeWorld::Shortcut, FakeWorld::Open,
                                      FakeWorld::Exit};

class TaskbarProgressTest : public testing::Test {
 protected:
  void SetUp() override {
    TheUiState.ResetForTesting();
    ResetDownloadRecordsForTesting();
    // PAUSAR holds the download for the rest of the process; the next test
    // in this process starts without it.
    ReleaseTransferPauseForTesting();
    ResetStatusDisplayForTesting();
    ResetTaskbarProgressForTesting();
    StartSignal = false;
    FakeWorld::desktop = sandbox_.Dir();
    FakeWorld::exits = 0;
    SetUiControllerWorld(&kFakeWorld);
    TheMainView = &view_;
    TheStatsSettings.baseUrl = stats_.Url("");
    TheStatsSettings.commFilePath = sandbox_.Path("comm290.tmp");
  }
  void TearDown() override {
    TheMainView = nullptr;
    SetUiControllerWorld(nullptr);
    TheUiState.ResetForTesting();
    ResetDownloadRecordsForTesting();
    ReleaseTransferPauseForTesting();
    StartSignal = false;
  }
  // A report of the transfer thread as the controller takes it.
  void Progress(int percent) {
    TheUiState.SetProgressPercent(percent);
    ASSERT_TRUE(HandleUiCommand(UI_PROGRESS, static_cast<uint32_t>(percent)));
  }
  void Status(const std::wstring& text, uint32_t parameter) {
    TheUiState.SetStatusText(text);
    ASSERT_TRUE(HandleUiCommand(UI_STATUS, parameter));
  }
  std::vector<std::wstring> Taken() {
    std::vector<std::wstring> taken;
    taken.swap(view_.taskbar);
    return taken;
  }

  Sandbox sandbox_;
  HttpFixture stats_{HttpReply{200, "OK"}};
  StandInWindow window_{{}};
  RecordingView view_;
};

TEST_F(TaskbarProgressTest, RunWithAPauseAContinueAndAFailure) {
  ASSERT_TRUE(HandleUiCommand(UI_BUILD, 0));
  Status(L"", 0);
  Status(L"presiona INICIAR!", 0);
  ASSERT_TRUE(HandleUiCommand(UI_AWAIT_START, 0));
  ASSERT_TRUE(HandleUiCommand(UI_START, 0));
  // No progress while INICIAR waits; the start itself changes nothing.
  EXPECT_EQ(Taken(), std::vector<std::wstring>{L"none 0"});

  TheDownloadPlan.downloading = true;
  Progress(0);
  Progress(10);
  Progress(10);  // the same figure again changes nothing
  Progress(42);
  ASSERT_TRUE(HandleUiCommand(UI_PAUSE, 0));
  EXPECT_FALSE(TheDownloadPlan.downloading.load());
  // Reports already queued and a second PAUSAR leave the button paused.
  Progress(43);
  ASSERT_TRUE(HandleUiCommand(UI_PAUSE, 0));
  EXPECT_EQ(Taken(),
            (std::vector<std::wstring>{L"normal 0", L"normal 10", L"normal 42", L"paused 42"}));

  // CONTINUAR through the shortcut: this process ends, the button stays as
  // it was until the run goes on.
  sandbox_.Write("shortcut", "x");
  ASSERT_TRUE(HandleUiCommand(UI_CONTINUE, 5));
  EXPECT_EQ(FakeWorld::exits, 1);
  EXPECT_TRUE(Taken().empty());

  // The run goes on, then fails; the button keeps the figure reached.
  TheDownloadPlan.downloading = true;
  ASSERT_TRUE(HandleUiCommand(UI_REFRESH, 0));
  Progress(55);
  TheDownloadPlan.downloading = false;
  Status(L"Error: Sin acceso al servidor.", 1);
  // The close question answered No shows the failure again.
  Status(L"Error: Sin acceso al servidor.", 1);
  ASSERT_TRUE(HandleUiCommand(UI_AWAIT_START, 0));
  EXPECT_EQ(Taken(),
            (std::vector<std::wstring>{L"normal 43", L"normal 55", L"error 55", L"none 0"}));
}

TEST_F(TaskbarProgressTest, FinishedRunAndEarlyFailure) {
  TheDownloadPlan.downloading = true;
  Progress(100);
  TheDownloadPlan.downloading = false;
  Progress(100);
  // The setup program starts next: no progress left on the button.
  Status(L"", 1);
  EXPECT_EQ(Taken(), (std::vector<std::wstring>{L"normal 100", L"none 0"}));

  // A failure before any progress fills the button so that the red shows;
  // a status line that is not the run's end changes nothing.
  ResetTaskbarProgressForTesting();
  TheUiState.SetProgressPercent(0);
  Status(L"detectando prerrequisitos...", 0);
  Status(L"ha ocurrido un fallo, por favor, intenta nuevamente más tarde", 1);
  EXPECT_EQ(Taken(), (std::vector<std::wstring>{L"error 100"}));
}

}  // namespace

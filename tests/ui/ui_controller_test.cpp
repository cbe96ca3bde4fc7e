#include "ui/ui_controller.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/ticks.h"
#include "platform/wait.h"
#include "stats/download_records.h"
#include "support/http_fixture.h"
#include "support/sandbox.h"
#include "support/stand_in_window.h"
#include "transfer/transfer_pause.h"
#include "transfer/transfer_state.h"
#include "ui/recording_view.h"
#include "ui/status_channel.h"
#include "ui/status_display.h"
#include "ui/ui_commands.h"
#include "ui/ui_state.h"

namespace {

// The world of the controller inside a sandbox: the desktop is a folder of
// it, the shortcut a file there, and the process's end only counted.
struct FakeWorld {
  static inline std::string desktop;
  static inline int exits = 0;
  static inline int opened = 0;
  static std::string Desktop() { return desktop; }
  static std::string Shortcut() { return desktop + "shortcut"; }
  static int Open(const std::string&) { return ++opened; }
  static void Exit() { ++exits; }
};
const UiControllerWorld kFakeWorld = {FakeWorld::Desktop, FakeWorld::Shortcut, FakeWorld::Open,
                                      FakeWorld::Exit};

class UiControllerTest : public testing::Test {
 protected:
  void SetUp() override {
    TheUiState.ResetForTesting();
    ResetDownloadRecordsForTesting();
    ResetStatusDisplayForTesting();
    ReleaseTransferPauseForTesting();
    StartSignal = false;
    FakeWorld::desktop = sandbox_.Dir();
    FakeWorld::exits = 0;
    FakeWorld::opened = 0;
    SetUiControllerWorld(&kFakeWorld);
    TheMainView = &view_;
    TheStatsSettings.baseUrl = stats_.Url("");
  }
  void TearDown() override {
    TheMainView = nullptr;
    SetUiControllerWorld(nullptr);
    TheUiState.ResetForTesting();
    ResetDownloadRecordsForTesting();
    StartSignal = false;
  }
  void MakeShortcut() { sandbox_.Write("shortcut", "x"); }
  std::vector<SeenCommand> SeenAfter(size_t count) {
    const uint32_t start = TickCount();
    while (window_.Seen().size() < count && TickCount() - start < 5000) SleepMs(5);
    return window_.Seen();
  }

  Sandbox sandbox_;
  HttpFixture stats_{HttpReply{200, "OK"}};
  StandInWindow window_{{}};
  RecordingView view_;
};

TEST_F(UiControllerTest, PhasesShowTheirPicturesAndFolderControls) {
  ASSERT_TRUE(HandleUiCommand(UI_BUILD, 0));
  const std::string folder = sandbox_.Dir() + "ToviSetup";
  EXPECT_TRUE(FileExists(folder));
  EXPECT_EQ(TheUiState.DownloadFolder(), EnsureTrailingSeparator(folder));
  EXPECT_EQ(view_.Take(),
            (std::vector<std::wstring>{
                L"build", L"hide folder field", L"hide folder picture", L"hide start",
                L"hide continue", L"hide pause", L"page " + WidenText(InstallerPageAddress(1)),
                L"folder=" + WidenText(EnsureTrailingSeparator(folder)), L"version=2.1 (29:0)"}));
  // The folder already there is fine.
  EXPECT_TRUE(HandleUiCommand(UI_BUILD, 0));
  view_.Take();

  TheUiState.SetStatusText(L"presiona INICIAR!");
  ASSERT_TRUE(HandleUiCommand(UI_AWAIT_START, 0));
  EXPECT_EQ(view_.Take(), (std::vector<std::wstring>{
                              L"hide progress bar", L"show folder field", L"show folder picture",
                              L"show start", L"hide continue", L"hide pause",
                              L"status=presiona INICIAR!", L"detail=", L"flash"}));

  ASSERT_TRUE(HandleUiCommand(UI_START, 0));
  EXPECT_TRUE(StartSignal.load());
  EXPECT_EQ(TheUiState.StatusText(), L"Descargando...");
  EXPECT_EQ(view_.Take(),
            (std::vector<std::wstring>{L"hide folder field", L"hide folder picture"}));

  // Codes without a meaning do nothing.
  EXPECT_TRUE(HandleUiCommand(101, 0));
  EXPECT_TRUE(HandleUiCommand(300, 0));
  EXPECT_TRUE(view_.Take().empty());
}

TEST_F(UiControllerTest, BuildMakesAMissingDesktopButNotItsParents) {
  FakeWorld::desktop = sandbox_.Path("Desktop");
  EXPECT_TRUE(HandleUiCommand(UI_BUILD, 0));
  EXPECT_TRUE(FileExists(sandbox_.Path("Desktop/ToviSetup")));
  FakeWorld::desktop = sandbox_.Path("missing/Desktop/");
  EXPECT_FALSE(HandleUiCommand(UI_BUILD, 0));
}

TEST(UiControllerFolderTest, DefaultFolderSitsOnTheDesktopOrAtTheRoot) {
  const std::string sep(1, kPathSeparator);
  EXPECT_EQ(DefaultDownloadFolder("d"), "d" + sep + "ToviSetup");
  EXPECT_EQ(DefaultDownloadFolder("d" + sep), "d" + sep + "ToviSetup");
  // Not a folder relative to wherever the program was started.
  EXPECT_EQ(DefaultDownloadFolder(""), sep + "ToviSetup");
}

TEST_F(UiControllerTest, ChooseFolder) {
  TheUiState.SetDownloadFolder("/before/");
  view_.chosenFolder = "";
  ASSERT_TRUE(HandleUiCommand(UI_CHOOSE_FOLDER, 0));
  EXPECT_EQ(TheUiState.DownloadFolder(), "/before/");
  EXPECT_EQ(view_.Take(), (std::vector<std::wstring>{L"choose folder"}));

  const std::string sep(1, kPathSeparator);
  const struct {
    std::string chosen, folder;
  } cases[] = {
      {"dir", "dir" + sep},
      // A root already ends in the separator and keeps just one.
      {sep, sep},
      {"C:" + sep, "C:" + sep},
  };
  for (const auto& c : cases) {
    view_.chosenFolder = c.chosen;
    HandleUiCommand(UI_CHOOSE_FOLDER, 0);
    EXPECT_EQ(TheUiState.DownloadFolder(), c.folder);
    EXPECT_EQ(view_.Take().back(), L"folder=" + WidenText(c.folder));
  }
}

TEST_F(UiControllerTest, CloseAnsweredNoRepostsTheLastWorkerCommand) {
  TheUiState.SetLastCommand(UI_PROGRESS, 345);
  view_.yes = false;
  ASSERT_TRUE(HandleUiCommand(UI_CLOSE, 0));
  TheUiState.SetLastCommand(UI_STATUS, 1);
  ASSERT_TRUE(HandleUiCommand(UI_CLOSE, 0));
  const auto seen = SeenAfter(2);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].code, UI_PROGRESS);
  EXPECT_EQ(seen[0].parameter, 345);
  EXPECT_EQ(seen[1].code, UI_STATUS);
  EXPECT_EQ(seen[1].parameter, 1);
  EXPECT_EQ(FakeWorld::exits, 0);
  EXPECT_FALSE(StartSignal.load());
}

TEST_F(UiControllerTest, CloseAnsweredYesWithAndWithoutTheShortcut) {
  view_.yes = true;
  HandleUiCommand(UI_CLOSE, 0);
  EXPECT_EQ(FakeWorld::exits, 1);
  EXPECT_TRUE(StartSignal.load());
  EXPECT_EQ(view_.Take(), (std::vector<std::wstring>{
                              L"ask Confirmar: ¿Estás seguro que deseas cerrar este programa?"}));

  MakeShortcut();
  HandleUiCommand(UI_CLOSE, 0);
  EXPECT_EQ(FakeWorld::exits, 2);
  const auto calls = view_.Take();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1],
            L"notice Aviso: Se ha creado un acceso directo en el escritorio para continuar la "
            L"descarga en otro momento.");
  EXPECT_TRUE(window_.Seen().empty());
}

TEST_F(UiControllerTest, ContinueWithoutAndWithTheShortcut) {
  ASSERT_TRUE(HandleUiCommand(UI_CONTINUE, 0));
  EXPECT_TRUE(StartSignal.load());
  EXPECT_EQ(view_.Take(),
            (std::vector<std::wstring>{L"hide progress bar", L"hide pause", L"hide continue",
                                       L"hide start", L"status=aguarde por favor...", L"detail="}));
  EXPECT_EQ(FakeWorld::exits, 0);

  StartSignal = false;
  TheUiState.SetStatusText(L"s");
  MakeShortcut();
  HandleUiCommand(UI_CONTINUE, 5);
  EXPECT_FALSE(StartSignal.load());
  EXPECT_EQ(view_.Take(),
            (std::vector<std::wstring>{L"hide progress bar", L"hide pause", L"hide continue",
                                       L"hide start", L"show continue", L"status=s", L"detail="}));
  EXPECT_EQ(FakeWorld::opened, 1);
  EXPECT_EQ(FakeWorld::exits, 1);
}

TEST_F(UiControllerTest, PauseWhileNotDownloadingAndBetweenTwoParts) {
  HandleUiCommand(UI_PAUSE, 0);
  EXPECT_EQ(view_.Take(),
            (std::vector<std::wstring>{L"hide start", L"show continue", L"hide pause"}));
  EXPECT_EQ(stats_.RequestCount(), 0u);

  EXPECT_FALSE(TransferPauseHeld());

  // No transfer runs between two parts: the pause is held for the next
  // part before the report goes out (a report can take seconds), and then
  // reported.
  const std::string comm = sandbox_.Path("comm290.tmp");
  sandbox_.Write("comm290.tmp", "{}");
  TheStatsSettings.commFilePath = comm;
  TheDownloadPlan.downloading = true;
  TheTransferState.reportedBytes = 777;
  HttpReply slow;
  slow.silent = true;
  slow.holdMs = 400;
  stats_.SetReply(slow);
  std::thread ui([] { HandleUiCommand(UI_PAUSE, 0); });
  const uint32_t start = TickCount();
  while (stats_.RequestCount() == 0 && TickCount() - start < 5000) SleepMs(2);
  EXPECT_TRUE(TransferPauseHeld()) << "held only after the report";
  ui.join();
  EXPECT_FALSE(TheDownloadPlan.downloading.load());
  EXPECT_FALSE(FileExists(comm));
  ASSERT_EQ(stats_.RequestCount(), 1u);
  EXPECT_NE(stats_.RequestLine(0).find("/pause?"), std::string::npos);
  EXPECT_NE(stats_.RequestLine(0).find("bytes=777"), std::string::npos);
  EXPECT_EQ(TheTransferState.pauseRequestedFor.load(), 0u);
  EXPECT_TRUE(TransferPauseHeld());
  ReleaseTransferPauseForTesting();
}

TEST_F(UiControllerTest, HelpOpensTheForumPage) {
  HandleUiCommand(UI_HELP, 0);
  const auto calls = view_.Take();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rfind(L"open http://", 0), 0u);
  EXPECT_NE(calls[0].find(L"/polvex_tovi"), std::wstring::npos);
}

}  // namespace

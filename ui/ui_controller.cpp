#include "ui/ui_controller.h"

#include <atomic>
#include <chrono>
#include <cstdlib>

#include "deployment.h"
#include "platform/desktop_path.h"
#include "platform/exit.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/narrow_text.h"
#include "platform/paths.h"
#include "platform/ticks.h"
#include "platform/wait.h"
#include "platform/window_messages.h"
#include "stats/download_records.h"
#include "stats/stats_requests.h"
#include "transfer/transfer_pause.h"
#include "transfer/transfer_state.h"
#include "ui/main_view.h"
#include "ui/status_display.h"
#include "ui/taskbar_progress.h"
#include "ui/ui_commands.h"
#include "ui/ui_state.h"

namespace {
// The program's version, shown with the game and distributor values that the
// statistics requests send.
constexpr const char* kProgramVersion = "2.1";

[[noreturn]] void ExitNow() { ExitImmediately(); }

// Until the program hands its own world in: the real desktop, and no desktop
// shortcut to find or open.
std::string NoShortcutPath() { return {}; }
int NoShortcutToOpen(const std::string&) {
  LogLine("no desktop shortcut can be opened from here");
  return 0;
}
const UiControllerWorld kNoShortcutWorld = {GetDesktopPath, NoShortcutPath, NoShortcutToOpen,
                                            ExitNow};
const UiControllerWorld* world = &kNoShortcutWorld;

// A view that shows nothing, for a process without a window.
class NoView final : public MainView {
 public:
  void CreateStatusControls() override {}
  void ShowOrHide(ViewControl, bool) override {}
  void SetLabelText(ViewLabel, const std::wstring&) override {}
  void SetFolderText(const std::wstring&) override {}
  void SetProgressPosition(int) override {}
  void ShowPage(const std::string&) override {}
  bool AskYesNo(const std::wstring&, const std::wstring&) override { return false; }
  void ShowNotice(const std::wstring&, const std::wstring&) override {}
  std::string ChooseFolder() override { return {}; }
  void Flash() override {}
  void OpenInBrowser(const std::string&) override {}
  void SetTaskbarProgress(TaskbarState, int) override {}
};

MainView& View() {
  static NoView none;
  return TheMainView != nullptr ? *TheMainView : none;
}

// The action pictures in the order INICIAR, CONTINUAR, PAUSAR.
void ShowActionButtons(MainView& view, bool start, bool cont, bool pause) {
  ShowActionButton(view, 1, start);
  ShowActionButton(view, 2, cont);
  ShowActionButton(view, 3, pause);
}

void ShowFolderControls(MainView& view, bool show) {
  view.ShowOrHide(ViewControl::FolderField, show);
  view.ShowOrHide(ViewControl::FolderPicture, show);
}

bool ShortcutExists() { return FileExists(world->shortcutPath()); }

bool Start(MainView& view) {
  ShowFolderControls(view, false);
  TheUiState.SetStatusText(L"Descargando...");
  StartSignal = true;
  return true;
}

bool Continue(MainView& view, uint32_t parameter) {
  view.ShowOrHide(ViewControl::ProgressBar, false);
  ShowActionButton(view, 3, false);
  ShowActionButton(view, 2, false);
  ShowActionButton(view, 1, false);
  std::wstring line;
  if (parameter == 0) {
    line = L"aguarde por favor...";
    StartSignal = true;
  } else {
    line = TheUiState.StatusText();
    ShowActionButton(view, 2, true);
  }
  view.SetLabelText(ViewLabel::StatusLine, line);
  view.SetLabelText(ViewLabel::DetailLine, L"");
  const std::string shortcut = world->shortcutPath();
  if (FileExists(shortcut)) {
    const int result = world->openShortcut(shortcut);
    LogFormat("opening the shortcut: %d\n", result);
    SleepMs(25);
    world->exitProcess();
  }
  return true;
}

bool ChooseFolder(MainView& view) {
  const std::string path = view.ChooseFolder();
  if (!path.empty()) {
    TheUiState.SetDownloadFolder(EnsureTrailingSeparator(path));
    view.SetFolderText(WidenText(TheUiState.DownloadFolder()));
  }
  return true;
}

bool AwaitStart(MainView& view) {
  view.ShowOrHide(ViewControl::ProgressBar, false);
  ShowFolderControls(view, true);
  ShowActionButtons(view, true, false, false);
  view.SetLabelText(ViewLabel::StatusLine, TheUiState.StatusText());
  view.SetLabelText(ViewLabel::DetailLine, L"");
  view.Flash();
  return true;
}

bool Build(MainView& view) {
  view.CreateStatusControls();
  ShowFolderControls(view, false);
  ShowActionButtons(view, false, false, false);
  view.ShowPage(InstallerPageAddress(1));
  const std::string desktop = world->desktopPath();
  // A Linux home often has no desktop directory yet; the default folder and
  // the launcher both go there, so it is made rather than the run given up.
  if (!desktop.empty() && !FileExists(desktop)) (void)CreateDirectoryOnce(desktop);
  const std::string folder = DefaultDownloadFolder(desktop);
  TheUiState.SetDownloadFolder(EnsureTrailingSeparator(folder));
  if (CreateDirectoryOnce(folder) == DirectoryCreation::Failed) {
    LogLine("Failed to create directory.");
    return false;
  }
  view.SetFolderText(WidenText(TheUiState.DownloadFolder()));
  view.SetLabelText(ViewLabel::VersionLabel, WidenText(std::string(kProgramVersion) + " (" +
                                                       GameId + ":" + DistributorId + ")"));
  return true;
}

bool Pause(MainView& view) {
  ShowActionButtons(view, false, true, false);
  if (TheDownloadPlan.downloading.load()) {
    // Asked before the report, which can take seconds: the transfer thread
    // pauses its own handle, and a pause between two parts holds the next.
    (void)RequestTransferPause();
    (void)ReportPause(TheTransferState.reportedBytes.load());
  }
  return true;
}

bool Close(MainView& view) {
  if (!view.AskYesNo(L"¿Estás seguro que deseas cerrar este programa?", L"Confirmar")) {
    PostWindowMessage(TheMainWindow.load(), WM_UI_COMMAND, TheUiState.LastCommand(),
                      static_cast<intptr_t>(static_cast<uint32_t>(TheUiState.LastParameter())));
    return true;
  }
  if (ShortcutExists()) {
    view.ShowNotice(
        L"Se ha creado un acceso directo en el escritorio para continuar la descarga en otro "
        L"momento.",
        L"Aviso");
  }
  StartSignal = true;
  SleepMs(25);
  world->exitProcess();
  return true;
}

bool Dispatch(uint32_t code, uint32_t parameter) {
  MainView& view = View();
  const auto value = static_cast<int32_t>(parameter);
  FollowTaskbarProgress(view, code, value);
  switch (code) {
    case UI_START:
      return Start(view);
    case UI_CONTINUE:
      return Continue(view, parameter);
    case UI_HELP:
      view.OpenInBrowser(std::string("http://") + kForumHost + "/polvex_tovi");
      return true;
    case UI_CHOOSE_FOLDER:
      return ChooseFolder(view);
    case UI_STATUS:
      return DisplayStatus(view, value);
    case UI_REFRESH:
      return DisplayRefresh(view);
    case UI_PROGRESS:
      return DisplayProgress(view, value);
    case UI_AWAIT_START:
      return AwaitStart(view);
    case UI_BUILD:
      return Build(view);
    case UI_PAUSE:
      return Pause(view);
    case UI_CLOSE:
      return Close(view);
    default:
      return true;
  }
}

const bool timing = std::getenv("TOVI_UI_TIMING") != nullptr;
std::atomic<int64_t> longestMicroseconds{0};
}  // namespace

std::string DefaultDownloadFolder(const std::string& desktop) {
  // An unknown desktop leaves the folder at the root of the current drive.
  std::string folder = desktop;
  if (folder.empty() || folder.back() != kPathSeparator) folder += kPathSeparator;
  return folder + "ToviSetup";
}

bool HandleUiCommand(uint32_t code, uint32_t parameter) {
  if (!timing || code == UI_CLOSE || code == UI_CHOOSE_FOLDER) return Dispatch(code, parameter);
  const auto start = std::chrono::steady_clock::now();
  const bool result = Dispatch(code, parameter);
  const int64_t spent = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
  if (spent > longestMicroseconds.load()) {
    longestMicroseconds = spent;
    LogFormat("UI command %u took %lld us (longest so far)\n", code, static_cast<long long>(spent));
  }
  return result;
}

void SetUiControllerWorld(const UiControllerWorld* replacement) {
  world = replacement != nullptr ? replacement : &kNoShortcutWorld;
}

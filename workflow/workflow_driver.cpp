#include "workflow/workflow_driver.h"

#include <string>
#include <vector>

#include "deployment.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/narrow_text.h"
#include "platform/paths.h"
#include "platform/process_command_line.h"
#include "platform/ticks.h"
#include "platform/wait.h"
#include "stats/comm_file.h"
#include "stats/download_records.h"
#include "stats/parts_loop.h"
#include "stats/retry_budget.h"
#include "stats/stats_requests.h"
#include "transfer/transfer_fault.h"
#include "transfer/transfer_state.h"
#include "ui/retry_notice.h"
#include "ui/status_channel.h"
#include "ui/ui_commands.h"
#include "ui/ui_state.h"
#include "workflow/command_line.h"
#include "workflow/desktop_shortcut.h"
#include "workflow/installer_handoff.h"
#include "workflow/part_check.h"
#include "workflow/space_check.h"
#include "workflow/stats_settings.h"
#include "workflow/text_file.h"

namespace {
const wchar_t kNoInformationText[] =
    L"Error: Al intentar inicializar la descarga. Verifique que su equipo pueda acceder a "
    L"internet. ";
const wchar_t kNoServerText[] =
    L"Error: Sin acceso al servidor. Verifique su conexion a internet o permisos del "
    L"cortafuegos (firewall).";
const wchar_t kResumeFailurePrefix[] =
    L"Se ha producido un error en la descarga. Verifica el estado de tu conexión a internet y "
    L"el espacio en disco. Cierra el downloader y reinicia desde el icono en el escritorio. "
    L"Soporte: ";

// Every failure is final for the run: say so, wait for the user, end.
void FailAndWait(const char* logLine, const std::wstring& statusText) {
  LogLine(logLine);
  TheUiState.SetDetailText(L"");
  ShowStatus(0, statusText, UI_STATUS, 1);
  StartSignal = false;
  WaitForStartSignal();
  LogEndBanner();
}

// Room on the disk: the free-space failure, with the figures as the detail.
void FailForSpace(const char* logLine, bool writeFailed) {
  LogLine(logLine);
  const int64_t needed = BytesStillToFetch(TheDownloadPlan);
  const int64_t available = FreeBytesOn(TheDownloadPlan.downloadDir);
  ShowFailureDisplay(writeFailed ? DiskWriteFailedText(needed, available)
                                 : SpaceShortText(needed, available));
  StartSignal = false;
  WaitForStartSignal();
  LogEndBanner();
}

// A part file that could not be written is the disk's fault, not the
// network's; its bytes stay for the next run.
bool DiskWriteFailed() { return LastTransferOutcome().fault == TransferFault::kDiskWrite; }

bool DownloadWithProgress() {
  TheTransferState.progressListener = ReportProgress;
  const bool downloaded = DownloadAllParts();
  TheTransferState.progressListener = nullptr;
  return downloaded;
}

void Finish() {
  // Nothing is reported finished, renamed or started unless every part is
  // on disk as announced; the shortcut stays for another try.
  if (!VerifyPartialFiles()) {
    FailAndWait("could not download the installer [PWI-003]", ResumeFailureText());
    return;
  }
  LogLine("installer downloaded");
  TheUiState.SetDetailText(L"");
  ShowStatus(0, L"", UI_STATUS, 1);
  (void)ReportFinish();
  SleepMs(25);
  LogLine("launching installer...");
  if (LaunchInstaller() == HandOff::RenameFailed) {
    FailAndWait("could not download the installer [PWI-003]", ResumeFailureText());
    return;
  }
  LogEndBanner();
}

void RelaunchThroughShortcut(const std::string& shortcut) {
  LogFormat(" res Shell %d\n", OpenShortcut(shortcut));
}

void StartPath() {
  ShowStatus(25, L"presiona INICIAR!", UI_AWAIT_START, 0);
  StartSignal = false;
  WaitForStartSignal();
  if (!LoadCommFileForStart(TheUiState.DownloadFolder())) {
    FailAndWait("could not retrieve download information [PWI-002]", kNoInformationText);
    return;
  }
  if (!HasRoomForDownload()) {
    FailForSpace("not enough free space for the installer", false);
    return;
  }
  // Without a part there is no first partial file to name; the parts loop
  // then reports the failure.
  if (!TheDownloadPlan.partialPaths.empty()) {
    // The shortcut's argument names an existing file from the first moment.
    WriteTextFile(TheDownloadPlan.partialPaths[0], "");
    (void)CreateDesktopShortcut();
  }
  if (DownloadWithProgress()) {
    Finish();
    return;
  }
  if (DiskWriteFailed()) {
    FailForSpace("could not write the installer to disk [PWI-001]", true);
    return;
  }
  FailAndWait("could not download the installer [PWI-001]", kNoServerText);
}

void ResumePath(const std::string& partialFile) {
  ShowStatus(0, L"", UI_START, 0);
  if (!LoadCommFileForResume(EnsureTrailingSeparator(DirectoryOf(partialFile)), partialFile)) {
    FailAndWait("could not retrieve download information [PWI-004]", kNoInformationText);
    return;
  }
  if (!HasRoomForDownload()) {
    FailForSpace("not enough free space for the installer", false);
    return;
  }
  if (DownloadWithProgress()) {
    Finish();
    return;
  }
  if (DiskWriteFailed()) {
    FailForSpace("could not write the installer to disk [PWI-003]", true);
    return;
  }
  FailAndWait("could not download the installer [PWI-003]", ResumeFailureText());
}
}  // namespace

std::wstring ResumeFailureText() { return kResumeFailurePrefix + WidenText(kSupportSite); }

void RunWorkflow() {
  LogStartBanner();
  ShowStatus(25, L"", UI_STATUS, 0);
  InitStatsSettings(GameId, DistributorId);
  TheRetryNotice = ShowRetryNotice;
  const std::vector<std::string> arguments = ProcessArguments();
  const std::string argument = arguments.size() >= 2 ? arguments[1] : std::string();
  if (argument.empty()) {
    const std::string shortcut = GetShortcutPath();
    if (FileExists(shortcut)) {
      RelaunchThroughShortcut(shortcut);
      return;
    }
    StartPath();
  } else if (FileExists(argument)) {
    ResumePath(argument);
  } else {
    StartPath();
  }
}

#include "ui/status_channel.h"

#include "platform/exit.h"
#include "platform/log.h"
#include "platform/wait.h"
#include "platform/window_messages.h"
#include "stats/stats_requests.h"
#include "stats/update_milestone.h"
#include "transfer/transfer_state.h"
#include "ui/progress_units.h"
#include "ui/ui_commands.h"
#include "ui/ui_state.h"

namespace {
constexpr uint32_t kProgressWaitMs = 25;
constexpr uint32_t kFatalWaitMs = 50;
const wchar_t kFailureLine[] = L"ha ocurrido un fallo, por favor, intenta nuevamente más tarde";
}  // namespace

ProgressFigure ProgressFigureFor(int64_t bytes) {
  constexpr int64_t kKiB = 1024;
  constexpr int64_t kMbytesFrom = 10 * 1024 * 1024;
  if (bytes == 0) return {L"", 0};
  if (bytes < kKiB) return {L" bytes transferidos...", bytes};
  if (bytes < kMbytesFrom) return {L" Kbytes transferidos...", bytes / kKiB};
  // Single precision on purpose: the display has always rounded to 24 bits
  // first, so a count just below a MiB boundary shows the next MiB.
  const float mib = static_cast<float>(bytes) * (1.0f / 1024.0f) * (1.0f / 1024.0f);
  return {L" Mbytes transferidos...", static_cast<int64_t>(mib)};
}

void ShowStatus(uint32_t waitMs, const std::wstring& text, uint32_t command, int32_t parameter) {
  LogFormatW(L"UI = %ls\n", text.c_str());
  TheUiState.SetStatusText(text);
  TheUiState.SetLastCommand(command, static_cast<int64_t>(parameter));
  PostWindowMessage(TheMainWindow.load(), WM_UI_COMMAND, command, static_cast<intptr_t>(parameter));
  WaitWithMessagePump(waitMs);
}

void ReportProgress(int percent, int64_t bytes) {
  TheTransferState.reportedBytes = bytes;
  int lastReported = TheUiState.LastReportedPercent();
  if (TakeUpdateMilestone(percent, &lastReported)) ReportUpdate(bytes);
  TheUiState.SetLastReportedPercent(lastReported);
  TheUiState.SetProgressPercent(percent);
  const ProgressFigure figure = ProgressFigureFor(bytes);
  TheUiState.SetDetailText(figure.unitWords);
  TheUiState.SetLastCommand(UI_PROGRESS, figure.value);
  PostWindowMessage(TheMainWindow.load(), WM_UI_COMMAND, UI_PROGRESS,
                    static_cast<intptr_t>(static_cast<int32_t>(figure.value)));
  WaitWithMessagePump(kProgressWaitMs);
}

void ShowFailureDisplay(const std::wstring& detail) {
  TheUiState.SetDetailText(detail);
  ShowStatus(kFatalWaitMs, kFailureLine, UI_STATUS, 1);
}

void ShowFatalError(const std::wstring& detail) {
  ShowFailureDisplay(detail);
  WaitForStartSignal();
  ExitImmediately();
}

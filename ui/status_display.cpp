#include "ui/status_display.h"

#include <algorithm>
#include <cmath>

#include "deployment.h"
#include "platform/wait.h"
#include "stats/download_records.h"
#include "transfer/transfer_state.h"
#include "ui/main_view.h"
#include "ui/ui_state.h"

namespace {
// Written and read by UI_PROGRESS only, on the UI thread.
bool pageShown[3] = {false, false, false};

std::wstring Unsigned(int64_t value) { return std::to_wstring(static_cast<uint32_t>(value)); }
}  // namespace

std::wstring TimeLeftText(int32_t seconds) {
  std::wstring text = L" Estimado: ";
  const int32_t hours = seconds / 3600;
  if (hours != 0) {
    text += Unsigned(hours) + L" hora";
    if (static_cast<uint32_t>(hours) > 1) text += L"s";
    text += L" ";
  }
  const int32_t rest = seconds - hours * 3600;
  const int32_t minutes = rest / 60;
  text += Unsigned(minutes) + L" minuto";
  if (static_cast<uint32_t>(minutes) > 1) text += L"s";
  if (hours == 0) text += L" " + Unsigned(rest % 60) + L" segundos";
  return text;
}

std::wstring ProgressStatusSuffix(int64_t planBytes, double speed, int64_t totalBytes,
                                  int64_t reportedBytes) {
  const double mib =
      std::floor(std::floor(static_cast<double>(planBytes) * (1.0 / 1024)) * (1.0 / 1024));
  std::wstring suffix = L" " + std::to_wstring(static_cast<int64_t>(mib)) + L" MB";
  if (speed > 1024.0) {
    const int64_t kbPerSecond = static_cast<int64_t>(std::floor(speed / 1024.0));
    suffix += L" [" + std::to_wstring(kbPerSecond) + L" kB/seg]...";
    const int64_t kbLeft = (totalBytes - reportedBytes) / 1024;
    // Clamped so that an absurd figure cannot overflow the conversion.
    const double seconds =
        std::clamp(static_cast<double>(kbLeft) / static_cast<double>(kbPerSecond), -2147483648.0,
                   2147483647.0);
    const auto secondsLeft = static_cast<int32_t>(seconds);
    suffix += TimeLeftText(secondsLeft);
  }
  return suffix;
}

std::wstring ProgressDetailText(int64_t value, const std::wstring& unitWords, int32_t percent) {
  return std::to_wstring(value) + unitWords + L" " + std::to_wstring(percent) + L" %";
}

int DueMilestonePage(int32_t percent, const bool shown[3]) {
  if (percent >= 25 && percent < 50 && !shown[0]) return 2;
  if (percent >= 50 && percent < 75 && !shown[1]) return 3;
  if (percent >= 75 && !shown[2]) return 4;
  return 0;
}

std::string InstallerPageAddress(int n) {
  return std::string("http://") + kInstallerHost + "/tovi/parte" + std::to_string(n);
}

bool DisplayStatus(MainView& view, int32_t parameter) {
  ShowActionButton(view, 1, false);
  ShowActionButton(view, 2, false);
  ShowActionButton(view, 3, false);
  if (parameter == 1) {
    view.ShowOrHide(ViewControl::ProgressBar, false);
    view.ShowOrHide(ViewControl::FolderField, false);
    view.ShowOrHide(ViewControl::FolderPicture, false);
  }
  view.SetLabelText(ViewLabel::StatusLine, TheUiState.StatusText());
  view.SetLabelText(ViewLabel::DetailLine, TheUiState.DetailText());
  return true;
}

bool DisplayRefresh(MainView& view) {
  const bool downloading = TheDownloadPlan.downloading.load();
  view.ShowOrHide(ViewControl::ProgressBar, downloading);
  ShowActionButton(view, 1, false);
  ShowActionButton(view, 3, downloading);
  view.SetProgressPosition(TheUiState.ProgressPercent());
  view.SetLabelText(ViewLabel::DetailLine, TheUiState.DetailText());
  view.SetLabelText(ViewLabel::StatusLine, TheUiState.StatusText());
  return true;
}

bool DisplayProgress(MainView& view, int32_t parameter) {
  const bool downloading = TheDownloadPlan.downloading.load();
  view.ShowOrHide(ViewControl::ProgressBar, downloading);
  ShowActionButton(view, 1, false);
  ShowActionButton(view, 3, downloading);
  const int32_t percent = TheUiState.ProgressPercent();
  if (!downloading) {
    view.SetLabelText(ViewLabel::StatusLine, L"");
    view.SetLabelText(ViewLabel::DetailLine, L"");
  } else {
    view.SetLabelText(ViewLabel::DetailLine,
                      ProgressDetailText(parameter, TheUiState.DetailText(), percent));
    view.SetProgressPosition(percent);
    view.SetLabelText(
        ViewLabel::StatusLine,
        TheUiState.StatusText() + ProgressStatusSuffix(PlanTotalBytes(),
                                                       TheTransferState.downloadSpeed.load(),
                                                       TheDownloadPlan.totalBytes.load(),
                                                       TheTransferState.reportedBytes.load()));
  }
  WaitWithMessagePump(25);
  if (const int page = DueMilestonePage(percent, pageShown)) {
    view.ShowPage(InstallerPageAddress(page));
    pageShown[page - 2] = true;
  }
  return true;
}

void ResetStatusDisplayForTesting() {
  for (bool& shown : pageShown) shown = false;
}

#include "ui/retry_notice.h"

#include "platform/window_messages.h"
#include "ui/ui_commands.h"
#include "ui/ui_state.h"

std::wstring RetryNoticeText(uint32_t secondsLeft) {
  return L"Reintentando la conexión en " + std::to_wstring(secondsLeft) +
         (secondsLeft == 1 ? L" segundo\u2026" : L" segundos\u2026");
}

void ShowRetryNotice(uint32_t secondsLeft) {
  TheUiState.SetDetailText(secondsLeft == 0 ? std::wstring() : RetryNoticeText(secondsLeft));
  // A No to the close question re-posts this, which shows the line again.
  TheUiState.SetLastCommand(UI_REFRESH, 0);
  PostWindowMessage(TheMainWindow.load(), WM_UI_COMMAND, UI_REFRESH, 0);
}

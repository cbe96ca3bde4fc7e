#include "ui/taskbar_progress.h"

#include "stats/download_records.h"
#include "ui/ui_commands.h"
#include "ui/ui_state.h"

namespace {
// What the view was last told; the first state always reaches it.
bool told = false;
TaskbarState shownState = TaskbarState::None;
int shownPercent = 0;

void Show(MainView& view, TaskbarState state, int percent) {
  if (state == TaskbarState::None) percent = 0;
  if (told && state == shownState && percent == shownPercent) return;
  told = true;
  shownState = state;
  shownPercent = percent;
  view.SetTaskbarProgress(state, percent);
}
}  // namespace

void FollowTaskbarProgress(MainView& view, uint32_t code, int32_t parameter) {
  const bool downloading = TheDownloadPlan.downloading.load();
  const int percent = TheUiState.ProgressPercent();
  switch (code) {
    case UI_AWAIT_START:
      Show(view, TaskbarState::None, 0);
      return;
    case UI_PROGRESS:
    case UI_REFRESH:
      // Reports still queued after a pause leave the paused button alone.
      if (downloading) Show(view, TaskbarState::Normal, percent);
      return;
    case UI_PAUSE:
      if (downloading) Show(view, TaskbarState::Paused, percent);
      return;
    case UI_STATUS:
      if (parameter != 1) return;
      // The end of the run: a failure carries its line, the finished
      // download (the setup program starts next) an empty one.
      if (TheUiState.StatusText().empty()) {
        Show(view, TaskbarState::None, 0);
      } else {
        // A failure before any progress fills the button, so the red shows.
        Show(view, TaskbarState::Error, percent > 0 ? percent : 100);
      }
      return;
    default:
      return;
  }
}

void ResetTaskbarProgressForTesting() {
  told = false;
  shownState = TaskbarState::None;
  shownPercent = 0;
}

#include "browser/taskbar_button_win.h"

#include <shobjidl.h>

#include "platform/log.h"

namespace {
ITaskbarList3* taskbar = nullptr;
HWND buttonWindow = nullptr;
TaskbarState shownState = TaskbarState::None;
int shownPercent = 0;

UINT ButtonCreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
  return message;
}

TBPFLAG Flag(TaskbarState state) {
  switch (state) {
    case TaskbarState::Normal:
      return TBPF_NORMAL;
    case TaskbarState::Paused:
      return TBPF_PAUSED;
    case TaskbarState::Error:
      return TBPF_ERROR;
    case TaskbarState::None:
      break;
  }
  return TBPF_NOPROGRESS;
}

void Apply() {
  if (taskbar == nullptr || buttonWindow == nullptr) return;
  // A value set without progress would turn the button to normal: the
  // value goes first, then the state. The results change nothing here.
  if (shownState != TaskbarState::None) {
    (void)taskbar->SetProgressValue(buttonWindow, static_cast<ULONGLONG>(shownPercent), 100);
  }
  (void)taskbar->SetProgressState(buttonWindow, Flag(shownState));
}
}  // namespace

bool IsTaskbarButtonCreated(UINT message) {
  const UINT registered = ButtonCreatedMessage();
  return registered != 0 && message == registered;
}

void AcceptTaskbarButtonCreated(HWND window) {
  // The program runs elevated; the shell does not, and its messages are
  // filtered out unless the window asks for this one.
  const UINT registered = ButtonCreatedMessage();
  if (registered != 0) (void)ChangeWindowMessageFilterEx(window, registered, MSGFLT_ALLOW, nullptr);
}

void ConnectTaskbarButton(HWND window) {
  if (taskbar == nullptr) {
    ITaskbarList3* made = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&made))) ||
        made == nullptr) {
      LogLine("no taskbar interface: progress stays in the window");
      return;
    }
    if (FAILED(made->HrInit())) {
      made->Release();
      LogLine("no taskbar interface: progress stays in the window");
      return;
    }
    taskbar = made;
    LogLine("taskbar button shows the progress");
  }
  buttonWindow = window;
  Apply();
}

void ShowTaskbarButtonProgress(TaskbarState state, int percent) {
  shownState = state;
  shownPercent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
  Apply();
}

void ReleaseTaskbarButton() {
  if (taskbar != nullptr) taskbar->Release();
  taskbar = nullptr;
  buttonWindow = nullptr;
}

bool TaskbarButtonConnected() { return taskbar != nullptr; }

#include "app/program_thread.h"

#include "platform/desktop_path.h"
#include "platform/exit.h"
#include "ui/status_channel.h"
#include "ui/ui_commands.h"
#include "ui/ui_controller.h"
#include "workflow/desktop_shortcut.h"
#include "workflow/prerequisites.h"
#include "workflow/workflow_driver.h"

namespace {
[[noreturn]] void ExitNow() { ExitImmediately(); }

const UiControllerWorld kProgramWorld = {GetDesktopPath, GetShortcutPath, OpenShortcut, ExitNow};
}  // namespace

uint32_t ProgramThreadMain(void*) {
  // The controller builds the status controls and shows the first page.
  ShowStatus(500, L"", UI_BUILD, 0);
  CheckPrerequisites();
  RunWorkflow();
  ExitImmediately();
}

CommandHookFn ProgramCommandHook() { return HandleUiCommand; }

void ConnectControllerToWorkflow() { SetUiControllerWorld(&kProgramWorld); }

// Entry point of the Windows program.
#include <windows.h>

#include "app/application.h"
#include "browser/browser_window.h"
#include "browser/skin_view.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/process_command_line.h"
#include "ui/main_view.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  SetProcessCommandLine(GetCommandLineA());
  SetLogPath(EnsureTrailingSeparator(TemporaryDirectory()) + "log.txt");
  auto* window = new Q9BrowserWindow(instance, showCommand);
  // The controller talks to the skinned window.
  TheMainView = &TheSkinView();
  TheApplication = CreateApplication(window);
  TheApplication->Run();
  DestroyApplication();
  return 0;
}

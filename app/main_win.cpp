// Entry point of the Windows program.
#include <windows.h>

#include "app/application.h"
#include "browser/browser_window.h"
#include "browser/skin_view.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/narrow_text.h"
#include "platform/paths.h"
#include "platform/process_command_line.h"
#include "ui/main_view.h"

namespace {
// DLLs loaded later (OLE, the browser control and what they load) come from
// the system folder only, like the imports (see load_config_win.cpp). Asked
// for by name: systems without the call simply keep their search order.
void LoadLaterDllsFromSystemOnly() {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  constexpr DWORD kSystemFolderOnly = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  const auto set = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (set != nullptr) set(kSystemFolderOnly);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  LoadLaterDllsFromSystemOnly();
  // Read wide: the shortcut's argument may name a folder outside the ANSI
  // code page.
  SetProcessCommandLine(NarrowText(GetCommandLineW()));
  SetLogPath(EnsureTrailingSeparator(TemporaryDirectory()) + "log.txt");
  auto* window = new Q9BrowserWindow(instance, showCommand);
  // The controller talks to the skinned window.
  TheMainView = &TheSkinView();
  TheApplication = CreateApplication(window);
  TheApplication->Run();
  DestroyApplication();
  return 0;
}

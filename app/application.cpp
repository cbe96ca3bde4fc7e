#include "app/application.h"

#include <string>

#include "app/program_thread.h"
#include "browser/browser_window.h"
#include "platform/exit.h"
#include "platform/log.h"
#include "platform/navigation_sound.h"
#include "platform/ole.h"

namespace {
// The sound setting found at start, restored by an orderly shutdown only.
std::wstring* SavedNavigationSound = nullptr;
}  // namespace

Q9BrowserApplication* CreateApplication(Q9BrowserWindow* window) {
  auto* app = new Q9BrowserApplication;
  bool alreadyExists = false;
  app->InstanceMutex = CreateInstanceMutex(kInstanceMutexName, &alreadyExists);
  // Logging is still off here, so a second instance leaves no trace.
  if (alreadyExists) ExitImmediately();
  // The shortcut code gives the lock up before it starts the next copy.
  SetInstanceMutexRelease(CloseApplicationInstanceMutex);

  VerboseLogging = true;
  OpenLog();

  app->ProgramThreadProc = ProgramThreadMain;
  app->CommandHook = ProgramCommandHook();
  ConnectControllerToWorkflow();

  if (!InitializeOle()) return app;
  TheBrowserWindow = window;
  SavedNavigationSound = new std::wstring(ReadNavigationSound());
  WriteNavigationSound(L"");
  return app;
}

void Q9BrowserApplication::Run() {
  Q9BrowserWindow* window = TheBrowserWindow.load();
  if (window == nullptr) return;
  if (window->CreateMainWindow()) window->LoadPage(L"about:blank");
  if (!StartThread(ProgramThreadProc, nullptr, &ProgramThreadId)) {
    LogLine("error creating program thread");
    return;
  }
  RunMessageLoop(ThreadMessageSource(), CommandHook);
}

bool Q9BrowserApplication::FilterMessage(const LoopMessage& message) {
  return IsRejectedCommand(message, CommandHook);
}

void DestroyApplication() {
  Q9BrowserApplication* app = TheApplication;
  if (app == nullptr) return;
  // Closing the handle is enough to give the mutex up.
  ReleaseInstanceMutex();
  if (SavedNavigationSound != nullptr) WriteNavigationSound(*SavedNavigationSound);
  if (Q9BrowserWindow* window = TheBrowserWindow.exchange(nullptr)) {
    window->StopRefreshTimer();
    delete window;
    UninitializeOle();
  }
  delete app;
  TheApplication = nullptr;
}

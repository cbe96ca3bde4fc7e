#include "app/message_queue_posix.h"
#include "browser/browser_window.h"

namespace {
void BrowserWindowProc(WindowHandle, const Message&, void*) {}
}  // namespace

Q9BrowserWindow::Q9BrowserWindow(void* instance, int showCommand)
    : instance_(instance), showCommand_(showCommand) {}

bool Q9BrowserWindow::CreateMainWindow() {
  if (TheMainWindow.load() != nullptr) return true;
  TheMainWindow = CreatePosixWindow(BrowserWindowProc, this);
  return true;
}

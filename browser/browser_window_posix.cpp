#include "browser/browser_window.h"
#include "platform/message_queue_posix.h"

namespace {
void BrowserWindowProc(WindowHandle, const Message&, void*) {}
}  // namespace

Q9BrowserWindow::Q9BrowserWindow(void* instance, int showCommand)
    : instance_(instance), showCommand_(showCommand) {}

Q9BrowserWindow::~Q9BrowserWindow() = default;

bool Q9BrowserWindow::CreateMainWindow() {
  if (TheMainWindow.load() != nullptr) return true;
  TheMainWindow = CreatePosixWindow(BrowserWindowProc, this);
  return true;
}

bool Q9BrowserWindow::PlaceWindow(WindowHandle) { return true; }

void Q9BrowserWindow::LoadPage(const std::wstring& address) {
  stopReload_ = false;
  pageUrl_ = address;
}

void Q9BrowserWindow::ShowPage(bool, const std::wstring& address) {
  if (!CreateMainWindow()) return;
  LoadPage(address);
}

// No page area here, so nothing is ever reloaded.
void Q9BrowserWindow::OnReloadTimer() {}
void Q9BrowserWindow::ReloadTick() {}

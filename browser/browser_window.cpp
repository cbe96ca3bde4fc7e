#include "browser/browser_window.h"

std::atomic<Q9BrowserWindow*> TheBrowserWindow{nullptr};

void Q9BrowserWindow::LoadPage(const std::wstring& address) { pageUrl_ = address; }

void Q9BrowserWindow::StopRefreshTimer() {}

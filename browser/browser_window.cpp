#include "browser/browser_window.h"

std::atomic<Q9BrowserWindow*> TheBrowserWindow{nullptr};

void Q9BrowserWindow::StopRefreshTimer() { refreshTimer_.Stop(); }

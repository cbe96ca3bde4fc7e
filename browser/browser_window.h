// The program's one top-level window. It is created hidden; the UI shows it
// once its controls are built. Every operation belongs to the main thread.
//
// The embedded browser control and the periodic page reload are added to
// this window by the browser host; until then LoadPage only records the
// address of the page the window is to show.
#pragma once

#include <atomic>
#include <string>

class Q9BrowserWindow {
 public:
  // Registers the window class "Q9Browser0029"; no window exists yet.
  // instance is the module handle on Windows (unused elsewhere).
  Q9BrowserWindow(void* instance, int showCommand);

  // Creates the main window, hidden, unless it exists, and stores it in
  // TheMainWindow. False when no window could be created; the failed
  // creation has then posted the quit message.
  bool CreateMainWindow();

  void LoadPage(const std::wstring& address);
  const std::wstring& PageUrl() const { return pageUrl_; }

  // Stops the page reload without waiting for a running tick.
  void StopRefreshTimer();

 private:
  void* instance_;
  int showCommand_;
  std::wstring pageUrl_ = L"about:blank";
};

// Set by start-up only once OLE is ready; null otherwise.
extern std::atomic<Q9BrowserWindow*> TheBrowserWindow;

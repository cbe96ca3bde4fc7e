// The program's one top-level window. It is created hidden; the UI shows it
// once its controls are built. Every operation belongs to the main thread,
// except OnReloadTimer, which the timer thread calls.
//
// On Windows the window hosts the system web-browser control and reloads the
// page it was last asked for every 30 seconds until a page reports that it
// has loaded. Elsewhere there is no page area: LoadPage only records the
// address, for the front end to show.
#pragma once

#include <atomic>
#include <string>

#include "browser/timer.h"
#include "platform/window_messages.h"

class Q9BrowserWindow {
 public:
  // Registers the window class "Q9Browser0029"; no window exists yet.
  // instance is the module handle on Windows (unused elsewhere).
  Q9BrowserWindow(void* instance, int showCommand);
  ~Q9BrowserWindow();
  Q9BrowserWindow(const Q9BrowserWindow&) = delete;
  Q9BrowserWindow& operator=(const Q9BrowserWindow&) = delete;

  // Creates the main window, hidden, unless it exists, and stores it in
  // TheMainWindow. False when no window could be created; the failed
  // creation has then posted the quit message.
  bool CreateMainWindow();
  // Centres the window on the desktop's work area. False when the work area
  // cannot be read; the window then stays where it is.
  static bool PlaceWindow(WindowHandle window);

  // Navigates to the address and arms the reload, keeping the schedule of a
  // reload that already runs.
  void LoadPage(const std::wstring& address);
  // Creates the window if needed, loads the page and, when show is true,
  // shows the window with the entry point's show command.
  void ShowPage(bool show, const std::wstring& address);
  const std::wstring& PageUrl() const { return pageUrl_; }

  // A page asked for the host's external object: it has loaded, so the
  // next reload tick stops the reload.
  void StopReload() { stopReload_ = true; }
  bool ReloadStopped() const { return stopReload_.load(); }
  // Runs on the timer thread: hands the tick to the main thread.
  void OnReloadTimer();
  // The tick on the main thread: reloads the page, or stops the timer once
  // the page has loaded.
  void ReloadTick();
  const CTimer& RefreshTimer() const { return refreshTimer_; }

  // Stops the page reload without waiting for a running tick.
  void StopRefreshTimer();

 private:
  void* instance_;
  int showCommand_;
  TTimer<Q9BrowserWindow> refreshTimer_;
  std::wstring pageUrl_ = L"about:blank";
  std::atomic<bool> stopReload_{false};
};

// Set by start-up only once OLE is ready; null otherwise.
extern std::atomic<Q9BrowserWindow*> TheBrowserWindow;

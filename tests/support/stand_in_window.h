// A stand-in for the program's main window: a thread of its own owning a
// window of the platform's message system, set as TheMainWindow. It records
// every UI command posted to it and plays the user: after one of the
// commands it is told to (the INICIAR wait, an error display) it sets
// StartSignal every 20 ms, as a user who keeps clicking, until the next
// command comes. The waiting side clears the signal just before it waits, so
// a single early click could be lost.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/window_messages.h"

struct SeenCommand {
  uint32_t code;
  int32_t parameter;
};

class StandInWindow {
 public:
  // StartSignal is set on each command whose code is in startOn; with
  // parameter 1, UI_STATUS is matched as the code 1200 (an error display).
  explicit StandInWindow(std::set<uint32_t> startOn);
  ~StandInWindow();  // stops the thread and clears TheMainWindow
  StandInWindow(const StandInWindow&) = delete;
  StandInWindow& operator=(const StandInWindow&) = delete;

  // Runs on the window's thread for every command, before StartSignal.
  void OnCommand(std::function<void(const SeenCommand&)> hook);
  std::vector<SeenCommand> Seen() const;

  static constexpr uint32_t kErrorDisplay = 1200;

  // Platform part: called on the window's thread.
  void Handle(uint32_t code, int32_t parameter);

 private:
  void ThreadMain();
  std::set<uint32_t> startOn_;
  mutable std::mutex lock_;
  std::vector<SeenCommand> seen_;
  std::function<void(const SeenCommand&)> hook_;
  std::thread thread_;
  std::thread clicker_;
  std::atomic<bool> armed_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<WindowHandle> window_{nullptr};
};

// Platform parts.
WindowHandle CreateStandInWindowHandle(StandInWindow* owner);
void RunStandInLoop();
void StopStandInWindow(WindowHandle window);

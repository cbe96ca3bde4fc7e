#include "support/stand_in_window.h"

#include "platform/ticks.h"
#include "platform/wait.h"
#include "platform/window_messages.h"

StandInWindow::StandInWindow(std::set<uint32_t> startOn) : startOn_(std::move(startOn)) {
  thread_ = std::thread([this] { ThreadMain(); });
  clicker_ = std::thread([this] {
    while (!stopping_.load()) {
      if (armed_.load()) StartSignal = true;
      SleepMs(20);
    }
  });
  const uint32_t start = TickCount();
  while (window_.load() == nullptr && TickCount() - start < 10000) SleepMs(5);
  TheMainWindow = window_.load();
}

StandInWindow::~StandInWindow() {
  TheMainWindow = nullptr;
  if (WindowHandle window = window_.load()) StopStandInWindow(window);
  thread_.join();
  stopping_ = true;
  clicker_.join();
}

void StandInWindow::OnCommand(std::function<void(const SeenCommand&)> hook) {
  std::lock_guard<std::mutex> hold(lock_);
  hook_ = std::move(hook);
}

std::vector<SeenCommand> StandInWindow::Seen() const {
  std::lock_guard<std::mutex> hold(lock_);
  return seen_;
}

void StandInWindow::Handle(uint32_t code, int32_t parameter) {
  std::function<void(const SeenCommand&)> hook;
  {
    std::lock_guard<std::mutex> hold(lock_);
    seen_.push_back({code, parameter});
    hook = hook_;
  }
  if (hook) hook({code, parameter});
  const uint32_t key = (code == 200 && parameter == 1) ? kErrorDisplay : code;
  armed_ = startOn_.count(key) != 0;
}

void StandInWindow::ThreadMain() {
  window_ = CreateStandInWindowHandle(this);
  RunStandInLoop();
}

// A periodic timer on the system's timer thread, bound to a member function
// of its owner. Start, Stop and the destructor belong to one thread (the
// main thread for the page reload); ticks come on the timer thread.
#pragma once

#include <atomic>
#include <cstdint>

class CTimer {
 public:
  CTimer() = default;
  CTimer(const CTimer&) = delete;
  CTimer& operator=(const CTimer&) = delete;
  // Stops the timer without waiting for a tick that is running.
  virtual ~CTimer();
  // Runs on the timer thread after the tick count went up.
  virtual void OnTimer() {}

  // Resets the tick count and starts ticking: first after dueMs, then every
  // periodMs. False when the system gave no timer.
  [[nodiscard]] bool Start(uint32_t dueMs, uint32_t periodMs);
  // Deletes the timer without waiting for a running tick; harmless when none
  // runs.
  void Stop();
  bool IsRunning() const { return timerHandle_ != nullptr; }
  uint32_t TickCount() const { return tickCount_.load(); }

  // The system's callback: counts the tick and calls OnTimer.
  static void Tick(CTimer* timer);

 private:
  void* timerHandle_ = nullptr;
  std::atomic<uint32_t> tickCount_{0};
};

template <class T>
class TTimer final : public CTimer {
 public:
  using Method = void (T::*)();
  void Bind(T* owner, Method method) {
    owner_ = owner;
    method_ = method;
  }
  void OnTimer() override {
    if (owner_ != nullptr && method_ != nullptr) (owner_->*method_)();
  }

 private:
  T* owner_ = nullptr;
  Method method_ = nullptr;
};

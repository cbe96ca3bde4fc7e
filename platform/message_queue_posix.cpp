#include "platform/message_queue_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>

#include "platform/thread.h"
#include "platform/ticks.h"
#include "platform/wait.h"

std::atomic<WindowHandle> TheMainWindow{nullptr};

namespace {
std::mutex queuesMutex;
std::map<uint32_t, std::unique_ptr<ThreadQueue>>& Queues() {
  static auto* queues = new std::map<uint32_t, std::unique_ptr<ThreadQueue>>;
  return *queues;
}

class PosixPump final : public MessagePump {
 public:
  uint32_t Ticks() override;
  // UI commands stay queued for the main loop, the only place that hands
  // them to the controller: dispatched from a nested wait (the display's
  // pause between progress reports, the pause report) they would reach the
  // window procedure and be lost, and with them a status or the user's keys.
  bool WaitForInput(uint32_t ms) override {
    return CurrentThreadQueue().WaitForInputOtherThan(WM_UI_COMMAND, ms);
  }
  void DispatchQueued() override {
    Message message;
    while (CurrentThreadQueue().PeekOtherThan(WM_UI_COMMAND, &message)) {
      DispatchMessageToWindow(message);
    }
  }
};
}  // namespace

uint32_t PosixPump::Ticks() { return TickCount(); }

void ThreadQueue::Post(const Message& message) {
  int wake = -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(message);
    wake = wakeFds_[1];
  }
  ready_.notify_one();
  if (wake >= 0) {
    const char byte = 1;
    (void)!::write(wake, &byte, 1);  // a full pipe already wakes the reader
  }
}

void ThreadQueue::SetInputSource(int fd, InputReader reader) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (wakeFds_[0] < 0 && fd >= 0 && ::pipe2(wakeFds_, O_NONBLOCK | O_CLOEXEC) != 0) return;
  inputFd_ = fd;
  inputReader_ = fd >= 0 ? reader : nullptr;
}

bool ThreadQueue::TakeInput(Message* message, int timeoutMs) {
  pollfd fds[2] = {{inputFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
  if (::poll(fds, 2, timeoutMs) <= 0) return false;
  if (fds[1].revents != 0) {
    char drain[64];
    while (::read(wakeFds_[0], drain, sizeof drain) > 0) {
    }
  }
  return (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && inputReader_(message);
}

bool ThreadQueue::WaitForInputOtherThan(uint32_t kept, uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return ready_.wait_for(lock, std::chrono::milliseconds(ms), [this, kept] {
    return std::any_of(messages_.begin(), messages_.end(),
                       [kept](const Message& queued) { return queued.message != kept; });
  });
}

bool ThreadQueue::PeekOtherThan(uint32_t kept, Message* message) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = std::find_if(messages_.begin(), messages_.end(),
                                  [kept](const Message& queued) { return queued.message != kept; });
  if (found == messages_.end()) return false;
  *message = *found;
  messages_.erase(found);
  return true;
}

bool ThreadQueue::Get(Message* message) {
  while (inputReader_ != nullptr) {
    if (TakeInput(message, 0)) return true;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!messages_.empty()) {
        *message = messages_.front();
        messages_.pop_front();
        return message->message != WM_QUIT_MESSAGE;
      }
    }
    if (TakeInput(message, -1)) return true;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  ready_.wait(lock, [this] { return !messages_.empty(); });
  *message = messages_.front();
  messages_.pop_front();
  return message->message != WM_QUIT_MESSAGE;
}

ThreadQueue& QueueOfThread(uint32_t threadId) {
  std::lock_guard<std::mutex> lock(queuesMutex);
  auto& slot = Queues()[threadId];
  if (!slot) slot = std::make_unique<ThreadQueue>();
  return *slot;
}

ThreadQueue& CurrentThreadQueue() {
  thread_local ThreadQueue* queue = &QueueOfThread(CurrentThreadId());
  return *queue;
}

void DispatchMessageToWindow(const Message& message) {
  if (message.window == nullptr) return;
  auto* window = static_cast<PosixWindow*>(message.window);
  window->proc(message.window, message, window->context);
}

WindowHandle CreatePosixWindow(WindowProc proc, void* context) {
  return new PosixWindow{CurrentThreadId(), proc, context};
}

bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (window == nullptr) return false;
  auto* target = static_cast<PosixWindow*>(window);
  QueueOfThread(target->threadId).Post({window, message, wParam, lParam});
  return true;
}

MessagePump& ThreadMessagePump() {
  static PosixPump pump;
  return pump;
}

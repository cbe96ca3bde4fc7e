// Per-thread message queues for POSIX, with the observable rules of the
// Win32 ones the program relies on: any thread may post to a window (the
// message goes to the queue of the window's thread) or to a thread; the owner
// takes messages out in order; a quit message ends the owner's message loop.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/window_messages.h"

struct Message {
  WindowHandle window = nullptr;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

inline constexpr uint32_t WM_QUIT_MESSAGE = 0x0012;

using WindowProc = void (*)(WindowHandle window, const Message& message, void* context);

struct PosixWindow {
  uint32_t threadId;
  WindowProc proc;
  void* context;
};

class ThreadQueue {
 public:
  void Post(const Message& message);
  // For a nested wait, which leaves every message of the kind kept queued,
  // in order, for the thread's message loop. Blocks until a message of
  // another kind is queued or ms pass; true when one is, so a kept message
  // never wakes the wait again.
  bool WaitForInputOtherThan(uint32_t kept, uint32_t ms);
  // Takes the first message of another kind than kept, if there is one.
  bool PeekOtherThan(uint32_t kept, Message* message);
  // Blocks for the next message; false for the quit message. With an input
  // source, a readable fd is offered to the reader first, before any queued
  // message, so that the user's keys are never starved by a busy queue.
  bool Get(Message* message);

  // Reads what the fd has and may turn it into a message for Get to return
  // at once; false when it made none.
  using InputReader = bool (*)(Message* message);
  // Lets Get also wait for input on fd (the terminal). Set on the owning
  // thread before its loop runs; fd -1 removes it. Nested waits do not read
  // the fd: keys wait until the loop takes its next message.
  void SetInputSource(int fd, InputReader reader);

 private:
  bool TakeInput(Message* message, int timeoutMs);
  int inputFd_ = -1;
  InputReader inputReader_ = nullptr;
  // Written by Post while an input source is set, so Get's poll wakes up.
  int wakeFds_[2] = {-1, -1};

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Message> messages_;
};

// The queue of a thread, made on first use; never released.
ThreadQueue& QueueOfThread(uint32_t threadId);
ThreadQueue& CurrentThreadQueue();

// Calls the window's procedure; messages without a window are dropped.
void DispatchMessageToWindow(const Message& message);

// A window owned by the calling thread; lives for the process.
WindowHandle CreatePosixWindow(WindowProc proc, void* context);

// The application object: single-instance guard, program thread and the
// main thread's message loop. One instance per process, made by
// CreateApplication on the main thread.
#pragma once

#include <cstdint>

#include "platform/instance_mutex.h"
#include "platform/message_loop.h"
#include "platform/thread.h"

class Q9BrowserWindow;

class Q9Object {
 protected:
  ~Q9Object() = default;
};

class Q9Application : public Q9Object {
 public:
  virtual void Run() = 0;
  virtual bool FilterMessage(const LoopMessage& message) = 0;

 protected:
  ~Q9Application() = default;
};

class Q9ThreadedApplication : public Q9Application {
 public:
  ThreadProc ProgramThreadProc = nullptr;
  uint32_t ProgramThreadId = 0;

 protected:
  ~Q9ThreadedApplication() = default;
};

class Q9BrowserApplication final : public Q9ThreadedApplication {
 public:
  InstanceMutexHandle InstanceMutex = nullptr;
  CommandHookFn CommandHook = nullptr;

  // Creates the main window and the program thread, then runs the message
  // loop until it ends. Returns at once when OLE could not be initialised.
  void Run() override;
  // True exactly when the message is a UI command the hook rejects.
  bool FilterMessage(const LoopMessage& message) override;
};

extern Q9BrowserApplication* TheApplication;

// Never returns when another instance is running: that process ends at once
// with exit code 0 and writes nothing.
Q9BrowserApplication* CreateApplication(Q9BrowserWindow* window);

// Orderly shutdown, after the message loop ended.
void DestroyApplication();

// Closes InstanceMutex; what ReleaseInstanceMutex does in this program. Any
// thread; once is enough, later calls do nothing.
void CloseApplicationInstanceMutex();

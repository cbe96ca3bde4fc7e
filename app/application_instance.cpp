#include <mutex>

#include "app/application.h"

Q9BrowserApplication* TheApplication = nullptr;

namespace {
// The program thread may release the lock while the main thread shuts down.
std::mutex releaseLock;
}  // namespace

void CloseApplicationInstanceMutex() {
  std::lock_guard<std::mutex> hold(releaseLock);
  Q9BrowserApplication* app = TheApplication;
  if (app == nullptr || app->InstanceMutex == nullptr) return;
  CloseInstanceMutex(app->InstanceMutex);
  app->InstanceMutex = nullptr;
}

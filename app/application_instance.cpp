// The application object's pointer and the release of its single-instance
// lock live in the shell library, so code that relaunches the program can
// give the lock up without depending on the whole application.
#include <mutex>

#include "app/application.h"

Q9BrowserApplication* TheApplication = nullptr;

namespace {
// The program thread may release the lock while the main thread shuts down.
std::mutex releaseLock;
}  // namespace

void ReleaseInstanceMutex() {
  std::lock_guard<std::mutex> hold(releaseLock);
  Q9BrowserApplication* app = TheApplication;
  if (app == nullptr || app->InstanceMutex == nullptr) return;
  CloseInstanceMutex(app->InstanceMutex);
  app->InstanceMutex = nullptr;
}

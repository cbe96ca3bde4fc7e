// Entry point of the Linux program.
#include "app/application.h"
#include "app/files.h"
#include "app/log.h"
#include "app/paths.h"
#include "browser/browser_window.h"

int main() {
  SetLogPath(EnsureTrailingSeparator(TemporaryDirectory()) + "log.txt");
  auto* window = new Q9BrowserWindow(nullptr, 0);
  TheApplication = CreateApplication(window);
  TheApplication->Run();
  DestroyApplication();
  return 0;
}

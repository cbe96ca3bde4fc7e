// Entry point of the Linux program.
#include <string>
#include <vector>

#include "app/application.h"
#include "app/files.h"
#include "app/log.h"
#include "app/paths.h"
#include "app/process_command_line.h"
#include "browser/browser_window.h"
#include "workflow/command_line.h"

int main(int argc, char** argv) {
  // Kept as one text, as Windows keeps its command line.
  SetProcessCommandLine(JoinCommandLine(std::vector<std::string>(argv, argv + argc)));
  SetLogPath(EnsureTrailingSeparator(TemporaryDirectory()) + "log.txt");
  auto* window = new Q9BrowserWindow(nullptr, 0);
  TheApplication = CreateApplication(window);
  TheApplication->Run();
  DestroyApplication();
  return 0;
}

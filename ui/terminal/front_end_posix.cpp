#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "ui/terminal/front_end.h"
#include "ui/terminal/terminal_view.h"

extern char** environ;

MainView* CreateFrontEnd() {
  const char* term = std::getenv("TERM");
  const bool terminal = ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO) && term != nullptr &&
                        std::string(term) != "dumb";
  return terminal ? CreateTerminalView() : CreateLineView();
}

bool OpenWithDesktopBrowser(const std::string& address) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
    return false;
  }
  // The shell puts xdg-open in the background and ends at once, so the UI
  // thread only waits for the shell; the browser's output stays off the
  // screen.
  const char* argv[] = {
      "/bin/sh",       "-c",   "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &", "sh",
      address.c_str(), nullptr};
  pid_t pid = 0;
  if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    return false;
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return true;
}

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

#include "platform/ticks.h"
#include "workflow/command_line.h"
#include "workflow/installer_handoff.h"

extern char** environ;

namespace {
// Execute bits wherever the file may be read.
void MarkExecutable(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return;
  const mode_t read = info.st_mode & (S_IRUSR | S_IRGRP | S_IROTH);
  ::chmod(path.c_str(), (info.st_mode & 07777) | (read >> 2));
}
}  // namespace

int RunProgram(const std::string& program, const std::string& argument, int waitSeconds) {
  // The file name is one word however many blanks it holds; the argument
  // text is read by the program's own command-line rules.
  const size_t slash = program.rfind('/');
  std::vector<std::string> words{slash == std::string::npos ? program : program.substr(slash + 1)};
  for (const std::string& word : SplitCommandLine(argument)) words.push_back(word);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  MarkExecutable(program);
  // A session of its own: started from a terminal this process leads, the
  // setup would otherwise get the hang-up when this process ends. Signals
  // this process ignores or blocks are not handed on.
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) return ENOMEM;
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGHUP);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  (void)posix_spawnattr_setsigmask(&attributes, &none);
  (void)posix_spawnattr_setsigdefault(&attributes, &defaults);
  (void)posix_spawnattr_setflags(
      &attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, program.c_str(), nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) return error;
  // Wait for at most the given time; the program is not watched after that.
  const uint32_t start = TickCount();
  const uint32_t limit = static_cast<uint32_t>(waitSeconds) * 1000u;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0 && TickCount() - start < limit) SleepMs(10);
  return 0;
}

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

#include "platform/ticks.h"
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
  std::string text = argument;
  if (!text.empty() && text[0] != ' ') text = " " + text;
  const size_t slash = program.rfind('/');
  const std::string commandLine =
      (slash == std::string::npos ? program : program.substr(slash + 1)) + text;
  // Split at blanks as the system would split the command line; a name with
  // blanks thus reaches the program as several arguments.
  std::vector<std::string> words;
  std::string word;
  for (char c : commandLine) {
    if (c == ' ') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  MarkExecutable(program);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (error != 0) return error;
  // Wait for at most the given time; the program is not watched after that.
  const uint32_t start = TickCount();
  const uint32_t limit = static_cast<uint32_t>(waitSeconds) * 1000u;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0 && TickCount() - start < limit) SleepMs(10);
  return 0;
}

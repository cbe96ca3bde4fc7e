#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ticks.h"
#include "support/child_process.h"

extern char** environ;

ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env) {
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const char* eq = std::strchr(*entry, '=');
    if (eq != nullptr) merged[std::string(*entry, static_cast<size_t>(eq - *entry))] = eq + 1;
  }
  for (const auto& [key, value] : env) merged[key] = value;
  std::vector<std::string> envText;
  for (const auto& [key, value] : merged) envText.push_back(key + "=" + value);
  std::vector<char*> envp;
  for (auto& text : envText) envp.push_back(text.data());
  envp.push_back(nullptr);
  std::vector<std::string> argText{program};
  argText.insert(argText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& text : argText) argv.push_back(text.data());
  argv.push_back(nullptr);
  // Never the test's terminal: a program started from one behaves otherwise.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return false;
  handle_ = pid;
  running_ = true;
  return true;
}

bool ChildProcess::Wait(uint32_t timeoutMs, int* exitCode) {
  if (!running_) return false;
  const uint32_t start = TickCount();
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(static_cast<pid_t>(handle_), &status, WNOHANG);
    if (done == static_cast<pid_t>(handle_)) {
      running_ = false;
      *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return true;
    }
    if (TickCount() - start >= timeoutMs) return false;
    SleepMs(10);
  }
}

void ChildProcess::Kill() {
  if (!running_) return;
  kill(static_cast<pid_t>(handle_), SIGKILL);
  int status = 0;
  waitpid(static_cast<pid_t>(handle_), &status, 0);
  running_ = false;
}

std::string NativeProgramPath(const std::string& builtPath) { return builtPath; }

int KillProgramInstances(const std::string& fileName, const std::string& argument) {
  int killed = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream in(entry.path() / "cmdline", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<std::string> args;
    std::string arg;
    for (char c : text.str()) {
      if (c == '\0') {
        args.push_back(arg);
        arg.clear();
      } else {
        arg += c;
      }
    }
    if (args.empty() || std::filesystem::path(args[0]).filename() != fileName) continue;
    bool match = false;
    for (size_t i = 1; i < args.size(); ++i) match = match || args[i] == argument;
    if (!match) continue;
    if (kill(static_cast<pid_t>(std::stol(name)), SIGKILL) == 0) ++killed;
  }
  return killed;
}

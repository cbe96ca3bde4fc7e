#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "app/ticks.h"
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
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
    return false;
  }
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

#include "server/server_process.h"

#include <fcntl.h>
#include <poll.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

constexpr auto kLimit = std::chrono::seconds(10);
constexpr const char* kListening = "tovi-server listening on ";

pid_t Spawn(const std::vector<std::string>& args, const std::string& logPath, int& readFd,
            int descriptorLimit = 0, int uid = -1, int gid = -1) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (log >= 0) dup2(log, STDERR_FILENO);
    const int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, STDIN_FILENO);
    if (descriptorLimit > 0) {
      const rlimit limit{static_cast<rlim_t>(descriptorLimit), static_cast<rlim_t>(descriptorLimit)};
      setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (gid >= 0 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(gid)) != 0)) _exit(126);
    if (uid >= 0 && setuid(static_cast<uid_t>(uid)) != 0) _exit(126);
    std::vector<char*> argv;
    std::string path = TOVI_SERVER_PATH;
    argv.push_back(path.data());
    std::vector<std::string> copy = args;
    for (auto& arg : copy) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  if (pid < 0) {
    close(pipeFds[0]);
    return -1;
  }
  readFd = pipeFds[0];
  return pid;
}

// Reads from fd until a newline, its end or the deadline.
std::string ReadLine(int fd, std::chrono::steady_clock::time_point deadline, bool untilEnd) {
  std::string text;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return text;
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[256];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) return text;
    text.append(buffer, static_cast<size_t>(got));
    if (!untilEnd && text.find('\n') != std::string::npos) return text;
  }
}

// Waits for pid until the deadline: its exit code, -1 for a signal, -2 when
// it is still running.
int WaitUntil(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() >= deadline) return -2;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

ServerProcess::~ServerProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (stdoutFd_ >= 0) close(stdoutFd_);
}

bool ServerProcess::Start(const std::vector<std::string>& args, const std::string& logPath) {
  pid_ = Spawn(args, logPath, stdoutFd_, descriptorLimit_, uid_, gid_);
  if (pid_ < 0) return false;
  std::string line = ReadLine(stdoutFd_, std::chrono::steady_clock::now() + kLimit, false);
  if (line.rfind(kListening, 0) != 0 || line.back() != '\n') return false;
  line.pop_back();
  address_ = line.substr(std::string(kListening).size());
  return true;
}

int ServerProcess::Stop(int signal) {
  if (pid_ <= 0) return -1;
  kill(pid_, signal);
  int code = WaitUntil(pid_, std::chrono::steady_clock::now() + kLimit);
  if (code == -2) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    code = -1;
  }
  pid_ = -1;
  return code;
}

int RunServerToEnd(const std::vector<std::string>& args, std::string& output) {
  int fd = -1;
  const pid_t pid = Spawn(args, "/dev/null", fd);
  if (pid < 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + kLimit;
  output = ReadLine(fd, deadline, true);
  close(fd);
  int code = WaitUntil(pid, deadline);
  if (code == -2) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    code = -1;
  }
  return code;
}

// Runs the real tovi-server for a test: started on 127.0.0.1 with a free
// port, stopped with a signal. Every wait is bounded.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <string>
#include <vector>

class ServerProcess {
 public:
  ServerProcess() = default;
  ~ServerProcess();  // kills a server still running
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // Starts tovi-server with args (its standard error goes to logPath) and
  // waits up to 10 s for its listening line. False when it does not come.
  [[nodiscard]] bool Start(const std::vector<std::string>& args, const std::string& logPath);

  // Starts later servers with this descriptor limit, soft and hard (0: the
  // test's own).
  void SetDescriptorLimit(int limit) { descriptorLimit_ = limit; }

  // Starts later servers as this user and group (a test run as root needs
  // an unprivileged server to meet a file it may not read or write).
  void RunAs(uid_t uid, gid_t gid) {
    uid_ = static_cast<int>(uid);
    gid_ = static_cast<int>(gid);
  }

  // "127.0.0.1:PORT" from the listening line.
  const std::string& Address() const { return address_; }
  std::string Url(const std::string& target) const { return "http://" + address_ + target; }
  pid_t Pid() const { return pid_; }

  // Sends the signal and waits up to 10 s: the exit code, or -1 when the
  // server had to be killed or ended by a signal.
  int Stop(int signal = SIGTERM);

 private:
  pid_t pid_ = -1;
  int descriptorLimit_ = 0;
  int uid_ = -1;
  int gid_ = -1;
  int stdoutFd_ = -1;
  std::string address_;
};

// Runs tovi-server with args to its end (at most 10 s): the exit code, or -1.
// output receives its standard output.
int RunServerToEnd(const std::vector<std::string>& args, std::string& output);

// nginx run by a test in its sandbox, on 127.0.0.1 with a free port, with
// the server block the test gives; stopped when the object goes. Missing
// where nginx is not installed.
#pragma once

#include <sys/types.h>

#include <string>

class NginxProcess {
 public:
  NginxProcess() = default;
  ~NginxProcess();
  NginxProcess(const NginxProcess&) = delete;
  NginxProcess& operator=(const NginxProcess&) = delete;

  // The nginx program, or empty when it is not installed.
  static std::string Program();

  // Writes a configuration into dir (an existing directory of the test's
  // sandbox) whose http block holds httpText, with "@PORT@" replaced by the
  // port (0: a free one), and waits up to 10 s until nginx answers. False
  // when it does not start (its error log is in dir).
  [[nodiscard]] bool Start(const std::string& dir, const std::string& httpText, int port = 0);

  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// A port on 127.0.0.1 that was free a moment ago.
int FreeLoopbackPort();

#include "server/nginx_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

int FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

std::string NginxProcess::Program() {
  for (const char* path : {"/usr/sbin/nginx", "/usr/bin/nginx"}) {
    if (access(path, X_OK) == 0) return path;
  }
  return "";
}

NginxProcess::~NginxProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGQUIT);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
}

bool NginxProcess::Start(const std::string& dir, const std::string& httpText, int port) {
  const std::string program = Program();
  port_ = port != 0 ? port : FreeLoopbackPort();
  if (program.empty() || port_ == 0) return false;
  std::string http = httpText;
  for (size_t at = http.find("@PORT@"); at != std::string::npos; at = http.find("@PORT@")) {
    http.replace(at, 6, std::to_string(port_));
  }
  const std::string conf = dir + "/nginx.conf";
  {
    std::ofstream out(conf);
    out << "daemon off;\n"
        << "master_process off;\n"
        << "pid " << dir << "/nginx.pid;\n"
        << "error_log " << dir << "/nginx-error.log;\n"
        << "events { worker_connections 1024; }\n"
        << "http {\n"
        << "  access_log off;\n"
        << "  client_body_temp_path " << dir << "/nginx-body;\n"
        << "  proxy_temp_path " << dir << "/nginx-proxy;\n"
        << "  fastcgi_temp_path " << dir << "/nginx-fastcgi;\n"
        << "  uwsgi_temp_path " << dir << "/nginx-uwsgi;\n"
        << "  scgi_temp_path " << dir << "/nginx-scgi;\n"
        << http << "\n}\n";
  }
  pid_ = fork();
  if (pid_ == 0) {
    std::vector<std::string> args = {program, "-e", dir + "/nginx-error.log", "-p", dir + "/",
                                     "-c",    conf};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid_ < 0) return false;
  // Up once it accepts a connection.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (up) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

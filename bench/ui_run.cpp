// Runs tovi-downloader in a pseudo-terminal as a user would for a fresh
// download: waits for INICIAR, presses it, and waits for the process to end.
// Prints what the run cost: the download time (from the key to the log line
// that hands over to the installer), CPU seconds and peak memory of the
// program.
//
//   bench_ui_run <program> <log file> <timeout s>
//   -> "download_s=<s> cpu=<s> maxrss_kib=<n>" on standard output
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {
using Clock = std::chrono::steady_clock;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string NoBlanksOrEscapes(const std::string& raw) {
  std::string text;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == 0x1b && i + 1 < raw.size() && raw[i + 1] == '[') {
      i += 2;
      while (i < raw.size() && !(raw[i] >= 0x40 && raw[i] <= 0x7e)) ++i;
      continue;
    }
    if (static_cast<unsigned char>(raw[i]) > ' ') text += raw[i];
  }
  return text;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <program> <log file> <timeout s>\n", argv[0]);
    return 2;
  }
  const std::string log = argv[2];
  const auto deadline = Clock::now() + std::chrono::seconds(std::atoi(argv[3]));
  winsize size{30, 100, 0, 0};
  int master = -1;
  const pid_t child = ::forkpty(&master, nullptr, nullptr, &size);
  if (child < 0) return 1;
  if (child == 0) {
    ::execl(argv[1], argv[1], static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string screen;
  bool pressed = false;
  Clock::time_point pressedAt, handedOver;
  bool done = false;
  int status = 0;
  rusage usage{};
  while (Clock::now() < deadline) {
    pollfd fd{master, POLLIN, 0};
    if (::poll(&fd, 1, 10) > 0) {
      char buffer[65536];
      const ssize_t got = ::read(master, buffer, sizeof buffer);
      if (got > 0 && !pressed) screen.append(buffer, static_cast<size_t>(got));
    }
    if (!pressed && NoBlanksOrEscapes(screen).find("presionaINICIAR!") != std::string::npos) {
      ::usleep(300000);  // as a person would, after the wait has begun
      (void)!::write(master, "i", 1);
      pressed = true;
      pressedAt = Clock::now();
    }
    if (pressed && handedOver == Clock::time_point{} &&
        ReadAll(log).find("launching installer") != std::string::npos) {
      handedOver = Clock::now();
    }
    if (::wait4(child, &status, WNOHANG, &usage) == child) {
      done = true;
      break;
    }
  }
  if (!done) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    std::fprintf(stderr, "the program did not finish in time\n");
    return 1;
  }
  if (handedOver == Clock::time_point{}) {
    std::fprintf(stderr, "the program ended without handing over to the installer\n");
    return 1;
  }
  const double seconds = std::chrono::duration<double>(handedOver - pressedAt).count();
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::printf("download_s=%.3f cpu=%.3f maxrss_kib=%ld\n", seconds, cpu, usage.ru_maxrss);
  return 0;
}

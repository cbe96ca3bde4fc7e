// Runs a command and prints what it cost: wall seconds, CPU seconds (user +
// system) and peak resident memory in KiB, from the child's own usage record.
// Exits with the command's exit code.
//
//   bench_measure <command> [args...]
//   -> "wall=<s> cpu=<s> maxrss_kib=<n>" on standard error
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <command> [args...]\n", argv[0]);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    ::execvp(argv[1], argv + 1);
    std::perror(argv[1]);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child) {
    std::perror("wait4");
    return 1;
  }
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::fprintf(stderr, "wall=%.3f cpu=%.3f maxrss_kib=%ld\n", wall, cpu, usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

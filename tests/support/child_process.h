// Starting the program as a child process in process-level tests.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();  // kills the child if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts program with args; env entries are added to (or replace those of)
  // this process's environment.
  [[nodiscard]] bool Start(const std::string& program, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env);
  // Waits up to timeoutMs for the end; true with *exitCode when it ended.
  [[nodiscard]] bool Wait(uint32_t timeoutMs, int* exitCode);
  void Kill();

 private:
  intptr_t handle_ = 0;
  bool running_ = false;
};

// The path of a file built next to the tests, in the form the platform's
// process API takes.
std::string NativeProgramPath(const std::string& builtPath);

// Ends every running process of this program file that was started with
// argument among its arguments (elsewhere than Windows; there, where command
// lines are not at hand, every process of that file name in this Wine prefix
// or session). For processes a test caused but did not start itself. Returns
// how many were ended.
int KillProgramInstances(const std::string& fileName, const std::string& argument);

#include <windows.h>

#include <new>
#include <vector>

#include "workflow/command_line.h"
#include "workflow/installer_handoff.h"

int RunProgram(const std::string& program, const std::string& argument, int waitSeconds) {
  std::string text = argument;
  if (!text.empty() && text[0] != ' ') text = " " + text;
  const size_t slash = program.rfind('\\');
  // Quoted, so that a blank or "(1)" in the name does not split it into
  // arguments.
  const std::string commandLine =
      QuoteWindowsArgument(slash == std::string::npos ? program : program.substr(slash + 1)) + text;
  std::vector<char> buffer;
  try {
    buffer.assign(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
  } catch (const std::bad_alloc&) {
    return 1;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(program.c_str(), buffer.data(), nullptr, nullptr, FALSE,
                      CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &info)) {
    return static_cast<int>(GetLastError());
  }
  WaitForSingleObject(info.hProcess, static_cast<DWORD>(waitSeconds) * 1000);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return 0;
}

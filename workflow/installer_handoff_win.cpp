#include <windows.h>

#include <new>
#include <vector>

#include "platform/narrow_text.h"
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
  // The wide call: the narrow one cannot start a program in a folder outside
  // the ANSI code page.
  std::vector<wchar_t> buffer;
  std::wstring wideProgram;
  try {
    const std::wstring wide = WidenText(commandLine);
    buffer.assign(wide.begin(), wide.end());
    buffer.push_back(L'\0');
    wideProgram = WidenText(program);
  } catch (const std::bad_alloc&) {
    return 1;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(wideProgram.c_str(), buffer.data(), nullptr, nullptr, FALSE,
                      CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &info)) {
    return static_cast<int>(GetLastError());
  }
  WaitForSingleObject(info.hProcess, static_cast<DWORD>(waitSeconds) * 1000);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return 0;
}

#include <windows.h>
// After windows.h.
#include <tlhelp32.h>

#include <cwchar>

#include "support/child_process.h"
#include "support/utf16_win.h"

ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env) {
  // A new environment block: this process's, with the given entries replaced.
  std::map<std::wstring, std::wstring> merged;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
      const wchar_t* eq = std::wcschr(entry + 1, L'=');
      if (eq != nullptr) merged[std::wstring(entry, eq)] = eq + 1;
    }
    FreeEnvironmentStringsW(block);
  }
  for (const auto& [key, value] : env) merged[Utf16(key)] = Utf16(value);
  std::wstring envBlock;
  for (const auto& [key, value] : merged) envBlock += key + L"=" + value + L'\0';
  envBlock += L'\0';

  std::wstring commandLine = L"\"" + Utf16(program) + L"\"";
  for (const auto& arg : args) commandLine += L" \"" + Utf16(arg) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, envBlock.data(), nullptr, &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  handle_ = reinterpret_cast<intptr_t>(info.hProcess);
  running_ = true;
  return true;
}

bool ChildProcess::Wait(uint32_t timeoutMs, int* exitCode) {
  if (!running_) return false;
  HANDLE process = reinterpret_cast<HANDLE>(handle_);
  if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  running_ = false;
  *exitCode = static_cast<int>(code);
  return true;
}

void ChildProcess::Kill() {
  if (!running_) return;
  HANDLE process = reinterpret_cast<HANDLE>(handle_);
  TerminateProcess(process, 1);
  WaitForSingleObject(process, 10000);
  CloseHandle(process);
  running_ = false;
}

std::string NativeProgramPath(const std::string& builtPath) {
  // Under Wine the build tree's Unix paths are reached through drive Z:.
  if (!builtPath.empty() && builtPath[0] == '/') {
    std::string path = "Z:" + builtPath;
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    return path;
  }
  return builtPath;
}

int KillProgramInstances(const std::string& fileName, const std::string&) {
  int killed = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  const std::wstring wanted = Utf16(fileName);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, wanted.c_str()) != 0) continue;
    if (entry.th32ProcessID == GetCurrentProcessId()) continue;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
    if (process == nullptr) continue;
    if (TerminateProcess(process, 1)) {
      WaitForSingleObject(process, 10000);
      ++killed;
    }
    CloseHandle(process);
  }
  CloseHandle(snapshot);
  return killed;
}

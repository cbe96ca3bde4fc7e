#include <windows.h>

#include <vector>

#include "platform/instance_mutex.h"

InstanceMutexHandle CreateInstanceMutex(const std::string& name, bool* alreadyExists) {
  std::vector<wchar_t> wide(name.size() + 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  HANDLE mutex = CreateMutexW(nullptr, TRUE, wide.data());
  *alreadyExists = mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
  return mutex;
}

void CloseInstanceMutex(InstanceMutexHandle handle) {
  if (handle != nullptr) CloseHandle(static_cast<HANDLE>(handle));
}

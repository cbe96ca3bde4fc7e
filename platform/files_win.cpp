#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/files.h"

namespace {
// Paths are ANSI code page text; the wide API takes them widened through it.
constexpr int kWidePathChars = 4096;
}  // namespace

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool RenameFileNoReplace(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING an existing target makes it fail.
  return MoveFileA(from.c_str(), to.c_str()) != 0;
}

int64_t FileSizeOnce(const std::string& path) {
  std::vector<wchar_t> wide(kWidePathChars, L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), kWidePathChars - 1) == 0) {
    return -1;
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(wide.data(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                              data.nFileSizeLow);
}

std::string TemporaryDirectory() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(MAX_PATH, buffer);
  if (length == 0 || length > MAX_PATH) return {};
  return std::string(buffer, length);
}

DirectoryCreation CreateDirectoryOnce(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return DirectoryCreation::Created;
  return GetLastError() == ERROR_ALREADY_EXISTS ? DirectoryCreation::AlreadyExists
                                                : DirectoryCreation::Failed;
}

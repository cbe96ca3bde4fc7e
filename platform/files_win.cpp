// Paths are UTF-8; each call widens them for the wide API, so no character
// of a folder name is lost or "best fit" onto another folder.
#include <windows.h>

#include <cstdio>

#include "platform/files.h"
#include "platform/narrow_text.h"

bool FileExists(const std::string& path) {
  return GetFileAttributesW(WidenText(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveFile(const std::string& path) { return _wremove(WidenText(path).c_str()) == 0; }

bool RenameFileNoReplace(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING an existing target makes it fail.
  return MoveFileW(WidenText(from).c_str(), WidenText(to).c_str()) != 0;
}

int64_t FileSizeOnce(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WidenText(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                              data.nFileSizeLow);
}

std::string TemporaryDirectory() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return {};
  return NarrowText(std::wstring(buffer, length));
}

DirectoryCreation CreateDirectoryOnce(const std::string& path) {
  if (CreateDirectoryW(WidenText(path).c_str(), nullptr)) return DirectoryCreation::Created;
  return GetLastError() == ERROR_ALREADY_EXISTS ? DirectoryCreation::AlreadyExists
                                                : DirectoryCreation::Failed;
}

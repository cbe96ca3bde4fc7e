#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "app/files.h"

bool FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

bool RemoveFile(const std::string& path) {
  struct stat info;
  // remove() would also take an empty directory; the program only ever
  // deletes files.
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return false;
  return std::remove(path.c_str()) == 0;
}

int64_t FileSizeOnce(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

std::string TemporaryDirectory() {
  const char* dir = std::getenv("TMPDIR");
  if (dir != nullptr && *dir != '\0') return dir;
  return "/tmp";
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/files.h"
#include "platform/private_directory.h"

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

bool RenameFileNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: a hard link refuses an existing name too.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

int64_t FileSizeOnce(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

// The user's TMPDIR when nobody else can write it; a shared one such as /tmp
// would let another user plant or rewrite the communication file or read the
// log, so the private runtime directory stands in for it.
std::string TemporaryDirectory() {
  const char* dir = std::getenv("TMPDIR");
  if (dir != nullptr && *dir != '\0' && IsPrivateDirectory(dir)) return dir;
  return PrivateRuntimeDirectory();
}

DirectoryCreation CreateDirectoryOnce(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) == 0) return DirectoryCreation::Created;
  return errno == EEXIST ? DirectoryCreation::AlreadyExists : DirectoryCreation::Failed;
}

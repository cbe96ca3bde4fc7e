#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/private_directory.h"

bool IsPrivateDirectory(const std::string& path) {
  // "link/" would name what the link points to; the name itself is checked.
  std::string name = path;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  struct stat info;
  if (name.empty() || ::lstat(name.c_str(), &info) != 0) return false;
  return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 022) == 0;
}

std::string PrivateRuntimeDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && IsPrivateDirectory(runtime)) return runtime;
  // The shared directory is the fixed one, whatever TMPDIR says, so that every
  // copy of the program of this user finds the same lock.
  const std::string own = "/tmp/tovi-" + std::to_string(::geteuid());
  // An existing name is checked like a new one: another user's directory or
  // link there is refused, not used.
  ::mkdir(own.c_str(), 0700);
  return IsPrivateDirectory(own) ? own : std::string();
}

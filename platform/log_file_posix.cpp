#include <fcntl.h>
#include <unistd.h>

#include "platform/log_file.h"

// The log holds the machine identifier: it is the user's alone (0600), and a
// link planted under its name is not followed.
std::FILE* OpenLogFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  std::fflush(stderr);
  if (::dup2(fd, STDERR_FILENO) < 0) return ::fdopen(fd, "a");
  ::close(fd);
  return stderr;
}

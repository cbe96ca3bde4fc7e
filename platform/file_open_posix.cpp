#include <fcntl.h>
#include <unistd.h>

#include "platform/file_open.h"

std::FILE* OpenFileForWriting(const std::string& path, FileOpen how) {
  int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
  if (how == FileOpen::New) flags |= O_EXCL;
  if (how == FileOpen::Truncate) flags |= O_TRUNC;
  if (how == FileOpen::Append) flags |= O_APPEND;
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return nullptr;
  std::FILE* stream = ::fdopen(fd, how == FileOpen::Append ? "ab" : "wb");
  if (stream == nullptr) ::close(fd);
  return stream;
}

std::FILE* OpenFileForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

// A lock file stands in for the machine-wide named mutex: the lock is held
// through an open descriptor, so the system drops it when the process ends,
// however it ends.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/instance_mutex.h"
#include "platform/private_directory.h"

namespace {
// In the user's private runtime directory, whatever TMPDIR says: a lock file
// in a directory everybody writes would let any user hold it for ever.
std::string LockFileName(const std::string& name) {
  const std::string directory = PrivateRuntimeDirectory();
  if (directory.empty()) return {};
  std::string file = "tovi-";
  for (char c : name) file += (c == '\\' || c == '/') ? '_' : c;
  return directory + "/" + file + ".lock";
}
}  // namespace

InstanceMutexHandle CreateInstanceMutex(const std::string& name, bool* alreadyExists) {
  *alreadyExists = false;
  const std::string path = LockFileName(name);
  if (path.empty()) return nullptr;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) {
      ::close(fd);
      return nullptr;
    }
    *alreadyExists = true;
  }
  return new int(fd);
}

void CloseInstanceMutex(InstanceMutexHandle handle) {
  if (handle == nullptr) return;
  auto* fd = static_cast<int*>(handle);
  ::close(*fd);
  delete fd;
}

// A lock file stands in for the machine-wide named mutex: the lock is held
// through an open descriptor, so the system drops it when the process ends,
// however it ends.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/instance_mutex.h"

namespace {
// Machine-wide like the mutex's global namespace, whatever TMPDIR says.
constexpr const char* kLockDirectory = "/tmp/";

std::string LockFileName(const std::string& name) {
  std::string file = "tovi-";
  for (char c : name) file += (c == '\\' || c == '/') ? '_' : c;
  return kLockDirectory + file + ".lock";
}
}  // namespace

InstanceMutexHandle CreateInstanceMutex(const std::string& name, bool* alreadyExists) {
  *alreadyExists = false;
  const int fd = ::open(LockFileName(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
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

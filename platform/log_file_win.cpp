#include "platform/log_file.h"

std::FILE* OpenLogFile(const std::string& path) {
  // freopen closes the old stream even when the new file cannot be opened;
  // lines are then lost, as intended.
  std::FILE* stream = std::freopen(path.c_str(), "a", stderr);
  // A program the shell starts has no standard error to reopen (the runtime
  // refuses a stream without a handle): the log gets a stream of its own.
  if (stream == nullptr) stream = std::fopen(path.c_str(), "a");
  return stream;
}

#include "transfer/file_size.h"

#include "platform/files.h"
#include "platform/log.h"
#include "platform/ticks.h"

namespace {
constexpr int kRetries = 10;
constexpr uint32_t kRetryPauseMs = 100;
}  // namespace

int64_t QueryFileSize(const char* path) {
  LogFormat("---> fileSize %s\n", path ? path : "");
  if (path == nullptr || *path == '\0') {
    LogFormat("     Errcode 001, no file name.\n");
    return -1;
  }
  int64_t size = FileSizeOnce(path);
  for (int retry = 0; size < 0 && retry < kRetries; ++retry) {
    SleepMs(kRetryPauseMs);
    size = FileSizeOnce(path);
  }
  if (size < 0) {
    LogFormat("     Errcode 002, API fail.\n");
    return -1;
  }
  LogFormat("     Size %lu\n", static_cast<unsigned long>(static_cast<uint32_t>(size)));
  return size;
}

#include <signal.h>
#include <sys/resource.h>

#include "support/file_size_limit.h"

// The soft RLIMIT_FSIZE: past it write() fails with EFBIG once SIGXFSZ,
// which would end the process, is ignored.
ScopedFileSizeLimit::ScopedFileSizeLimit(int64_t bytes) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return;
  if (limit.rlim_max != RLIM_INFINITY && static_cast<int64_t>(limit.rlim_max) < bytes) return;
  savedSoft_ = static_cast<int64_t>(limit.rlim_cur);
  ::signal(SIGXFSZ, SIG_IGN);
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  active_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
  if (!active_) return;
  rlimit limit{};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return;
  limit.rlim_cur = static_cast<rlim_t>(savedSoft_);
  (void)::setrlimit(RLIMIT_FSIZE, &limit);
  ::signal(SIGXFSZ, SIG_DFL);
}

#include "support/file_size_limit.h"

// Windows has no per-process cap on file sizes.
ScopedFileSizeLimit::ScopedFileSizeLimit(int64_t) {}
ScopedFileSizeLimit::~ScopedFileSizeLimit() = default;

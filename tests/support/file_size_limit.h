// Caps the size of every file this process writes, for the life of the
// object: a write past the cap fails as it does on a full disk. Where the
// system has no such cap, Active() is false and nothing changes.
#pragma once

#include <cstdint>

class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(int64_t bytes);
  ~ScopedFileSizeLimit();
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  bool Active() const { return active_; }

 private:
  bool active_ = false;
  int64_t savedSoft_ = 0;
};

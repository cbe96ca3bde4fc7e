#include "server/installer_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Compares with digit runs taken by value; 0 when equal in that sense.
int NaturalCompare(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      size_t endA = i;
      size_t endB = j;
      while (endA < a.size() && IsDigit(a[endA])) ++endA;
      while (endB < b.size() && IsDigit(b[endB])) ++endB;
      size_t startA = i;
      size_t startB = j;
      while (startA + 1 < endA && a[startA] == '0') ++startA;
      while (startB + 1 < endB && b[startB] == '0') ++startB;
      const size_t lengthA = endA - startA;
      const size_t lengthB = endB - startB;
      if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
      const int digits = a.compare(startA, lengthA, b, startB, lengthB);
      if (digits != 0) return digits;
      i = endA;
      j = endB;
      continue;
    }
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[j]);
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

void SplitExtension(const std::string& name, std::string& stem, std::string& extension) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) {
    stem = name;
    extension.clear();
  } else {
    stem = name.substr(0, dot);
    extension = name.substr(dot + 1);
  }
}

int64_t ModifiedTime(const struct stat& info) {
  return static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

int64_t ChangedTime(const struct stat& info) {
  return static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool PartNameLess(const std::string& a, const std::string& b) {
  std::string stemA, extA, stemB, extB;
  SplitExtension(a, stemA, extA);
  SplitExtension(b, stemB, extB);
  if (const int stems = NaturalCompare(stemA, stemB); stems != 0) return stems < 0;
  if (const int exts = NaturalCompare(extA, extB); exts != 0) return exts < 0;
  return a < b;
}

PartsListing ListInstallerParts(const std::string& dir, std::vector<InstallerPart>& parts,
                                std::string& badName) {
  parts.clear();
  badName.clear();
  std::unique_ptr<DIR, DirCloser> handle(opendir(dir.c_str()));
  if (!handle) return PartsListing::kUnreadable;
  const int dirFd = dirfd(handle.get());
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(handle.get());
    if (entry == nullptr) {
      if (errno != 0) return PartsListing::kUnreadable;
      break;
    }
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    struct stat info {};
    if (fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(info.st_mode)) continue;
    if (!IsPortableFileName(name)) {
      parts.clear();
      badName = name;
      return PartsListing::kBadName;
    }
    parts.push_back(
        {name, static_cast<int64_t>(info.st_size), ModifiedTime(info), ChangedTime(info), {}});
  }
  std::sort(parts.begin(), parts.end(), [](const InstallerPart& a, const InstallerPart& b) {
    return PartNameLess(a.name, b.name);
  });
  return PartsListing::kOk;
}

bool IsPortableFileName(const std::string& name) {
  if (name.empty() || name.size() > 255 || name[0] == '.' || name[0] == '-' || name.back() == '.') {
    return false;
  }
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '_' || c == '-';
    if (!ok) return false;
  }
  // Windows opens a device for these, whatever the extension.
  std::string stem = name.substr(0, name.find('.'));
  for (char& c : stem) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return false;
  if (stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) &&
      stem[3] >= '1' && stem[3] <= '9') {
    return false;
  }
  return true;
}

PartFile::~PartFile() {
  if (fd_ >= 0) close(fd_);
}

bool PartFile::Open(const std::string& dir, const std::string& name) {
  if (fd_ >= 0 || !IsPortableFileName(name)) return false;
  const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return false;
  // O_NOFOLLOW: a link placed in the directory must not lead out of it.
  // O_NONBLOCK: a FIFO must not hold the request; it is refused below.
  const int fd = openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  close(dirFd);
  if (fd < 0) return false;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return false;
  }
  fd_ = fd;
  size_ = static_cast<int64_t>(info.st_size);
  modifiedNs_ = ModifiedTime(info);
  changedNs_ = ChangedTime(info);
  inode_ = static_cast<uint64_t>(info.st_ino);
  return true;
}

int PartFile::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

bool PartFile::Unchanged() const {
  struct stat info {};
  return fd_ >= 0 && fstat(fd_, &info) == 0 && static_cast<int64_t>(info.st_size) == size_ &&
         ModifiedTime(info) == modifiedNs_ && ChangedTime(info) == changedNs_;
}

int64_t PartFile::ReadAt(int64_t offset, char* buffer, size_t count) const {
  for (;;) {
    const ssize_t got = pread(fd_, buffer, count, static_cast<off_t>(offset));
    if (got >= 0) return static_cast<int64_t>(got);
    if (errno != EINTR) return -1;
  }
}

// The installer the server hands out: the regular files of the parts
// directory, in part order, and safe access to one of them by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct InstallerPart {
  std::string name;
  int64_t size = 0;
  int64_t modifiedNs = 0;  // modification time, nanoseconds since the epoch
  int64_t changedNs = 0;   // the inode's change time: any write or time reset moves it
  std::string sha256;      // lower-case hex; empty until computed
};

// Part order: names compared without their extension first, so that
// "ToviSetup.exe" (the setup program, which must be part 0) comes before
// "ToviSetup-1.bin"; runs of digits compare by value, so "-2" comes before
// "-10". Byte order breaks the remaining ties.
bool PartNameLess(const std::string& a, const std::string& b);

enum class PartsListing {
  kOk,          // parts holds the installer (possibly nothing)
  kUnreadable,  // the directory cannot be read
  kBadName,     // a regular file's name is not a portable file name
};

// The regular files directly inside dir, in part order. Symbolic links,
// other kinds of entry and hidden files (a leading '.') are left out. On
// kBadName, badName is the offending name and parts is empty.
[[nodiscard]] PartsListing ListInstallerParts(const std::string& dir,
                                              std::vector<InstallerPart>& parts,
                                              std::string& badName);

// True for a name that every platform takes as one plain file name and that
// needs no escaping in a URL: 1 to 255 of the characters A-Z a-z 0-9 . _ -,
// not starting with '.' or '-', not ending with '.', and not a Windows
// device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any extension).
bool IsPortableFileName(const std::string& name);

// An open part file; closes its descriptor.
class PartFile {
 public:
  PartFile() = default;
  ~PartFile();
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  // Opens name inside dir without following a symbolic link; only a regular
  // file is accepted. False when there is no such file.
  [[nodiscard]] bool Open(const std::string& dir, const std::string& name);

  int64_t Size() const { return size_; }
  int64_t ModifiedNs() const { return modifiedNs_; }
  int64_t ChangedNs() const { return changedNs_; }
  uint64_t Inode() const { return inode_; }

  // Hands the descriptor to the caller, who closes it.
  [[nodiscard]] int Release();

  // True while the file still has the size, modification and change time
  // it had when it was opened.
  [[nodiscard]] bool Unchanged() const;

  // Reads up to count bytes at offset (64-bit); the count read, 0 at the end,
  // -1 on error.
  [[nodiscard]] int64_t ReadAt(int64_t offset, char* buffer, size_t count) const;

 private:
  int fd_ = -1;
  int64_t size_ = 0;
  int64_t modifiedNs_ = 0;
  int64_t changedNs_ = 0;
  uint64_t inode_ = 0;
};

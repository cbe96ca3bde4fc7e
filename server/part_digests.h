// SHA-256 digests of the installer parts, for the communication file. A part
// is hashed once and the digest kept while its size, modification time and
// change time stay the same (an in-place rewrite that puts the modification
// time back still moves the change time), so a part of several GiB is not
// read again per request.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "server/installer_files.h"

class PartDigests {
 public:
  // Logs one line per file hashed on this stream (null: no log).
  explicit PartDigests(std::FILE* log) : log_(log) {}

  // The digest of part inside dir as 64 lower-case hexadecimal digits. The
  // part's size and times are those its listing gave. False
  // when the file cannot be read, or when it changed while it was read.
  // Safe to call from several threads; hashing runs one file at a time.
  [[nodiscard]] bool Digest(const std::string& dir, const InstallerPart& part, std::string& hex);

 private:
  struct Entry {
    int64_t size = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;
    std::string hex;
  };
  std::FILE* log_;
  std::mutex entriesLock_;  // held only to look up or store an entry
  std::mutex hashLock_;     // held while a file is read
  std::map<std::string, Entry> entries_;
};

// SHA-256 of the whole open file as lower-case hex. False on a read error or
// when the file's size or modification time changed while it was read.
[[nodiscard]] bool HashPartFile(const PartFile& file, std::string& hex);

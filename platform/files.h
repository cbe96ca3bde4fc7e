// The few file-system operations the program needs, on narrow UTF-8 paths
// (Windows: widened for the wide API on each call).
#pragma once

#include <cstdint>
#include <string>

// True when the attribute query for the path succeeds (file or directory).
[[nodiscard]] bool FileExists(const std::string& path);

// Removes a file with the runtime's remove(); false when that fails (a
// directory is never removed).
[[nodiscard]] bool RemoveFile(const std::string& path);

// Renames (moves) a file; fails rather than replace an existing target.
[[nodiscard]] bool RenameFileNoReplace(const std::string& from, const std::string& to);

// Size of the file in bytes, or -1 when the attribute query fails. One
// attempt, no logging; QueryFileSize adds the retries.
int64_t FileSizeOnce(const std::string& path);

// The temporary directory as the system reports it (may lack a trailing
// separator), or empty when it cannot be had. Outside Windows only a
// directory nobody else can write is taken (TMPDIR, else the private runtime
// directory).
std::string TemporaryDirectory();

enum class DirectoryCreation { Created, AlreadyExists, Failed };

// Creates the last component of the path (a missing parent fails).
[[nodiscard]] DirectoryCreation CreateDirectoryOnce(const std::string& path);

// Directories only this user can write, for the files other local users must
// not be able to plant, replace or read: the communication file, the log and
// the single-instance lock. POSIX only; on Windows %TEMP% is the user's own.
#pragma once

#include <string>

// True when path names a directory itself (no symbolic link) that belongs to
// this user and that nobody else may write.
[[nodiscard]] bool IsPrivateDirectory(const std::string& path);

// $XDG_RUNTIME_DIR when it is private, else "/tmp/tovi-<uid>", created with
// mode 0700 when missing and used only when it then is private. Empty when
// neither can be had.
std::string PrivateRuntimeDirectory();

// What the hand-off checks on disk before anything is renamed or started.
// Program thread.
#pragma once

#include <string>

// True when every partial file of the plan exists, has its part's size (when
// the communication file gave one) and its SHA-256 (when it gave one). On
// the first part that fails, logs "part <n> not ready: <path>: <reason>" and
// returns false; false too when the plan has no part.
[[nodiscard]] bool VerifyPartialFiles();

// True when both files can be read and hold the same bytes.
[[nodiscard]] bool SameFileContent(const std::string& a, const std::string& b);

// Path helpers on narrow paths, using the platform's separator: a backslash
// on Windows, a slash elsewhere.
#pragma once

#include <string>

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// A non-empty path that does not end in the separator gets one appended;
// anything else is returned unchanged.
std::string EnsureTrailingSeparator(const std::string& path);

// The text before the path's last separator, without it; empty when the path
// contains none.
std::string DirectoryOf(const std::string& path);

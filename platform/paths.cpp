#include "platform/paths.h"

std::string EnsureTrailingSeparator(const std::string& path) {
  if (path.empty() || path.back() == kPathSeparator) return path;
  return path + kPathSeparator;
}

std::string DirectoryOf(const std::string& path) {
  const auto pos = path.rfind(kPathSeparator);
  if (pos == std::string::npos) return {};
  return path.substr(0, pos);
}

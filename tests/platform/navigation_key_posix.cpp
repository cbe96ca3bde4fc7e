#include <cstdlib>
#include <filesystem>

#include "platform/navigation_key.h"

namespace {
std::filesystem::path KeyDir(const Sandbox& sandbox) {
  return std::filesystem::path(sandbox.Dir()) / "tovi/registry/HKEY_CURRENT_USER/AppEvents" /
         "Schemes/Apps/Explorer/Navigating/.Current";
}
}  // namespace

void CreateNavigationKeyForTesting(const Sandbox& sandbox) {
  setenv("XDG_CONFIG_HOME", sandbox.Dir().c_str(), 1);
  std::filesystem::create_directories(KeyDir(sandbox));
}

void RemoveNavigationKeyForTesting(const Sandbox& sandbox) {
  setenv("XDG_CONFIG_HOME", sandbox.Dir().c_str(), 1);
  std::filesystem::remove_all(KeyDir(sandbox));
}

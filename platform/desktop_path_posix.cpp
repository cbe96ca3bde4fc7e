// The desktop as the XDG user-dirs file names it: a line
//   XDG_DESKTOP_DIR="$HOME/Escritorio"
// in $XDG_CONFIG_HOME/user-dirs.dirs (~/.config when unset). The value is
// "$HOME/..." or an absolute path, in double quotes, with \ escapes. Without
// such a line the desktop is $HOME/Desktop.
#include <cstdlib>
#include <fstream>
#include <mutex>

#include "platform/desktop_path.h"

namespace {
std::mutex lock;
std::string lastFound;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The quoted value of an XDG_DESKTOP_DIR line, or empty when the line is not
// one or holds a value the user-dirs rules do not allow.
std::string DesktopFromLine(const std::string& line, const std::string& home) {
  size_t pos = line.find_first_not_of(" \t");
  const std::string key = "XDG_DESKTOP_DIR=";
  if (pos == std::string::npos || line.compare(pos, key.size(), key) != 0) return {};
  pos += key.size();
  if (pos >= line.size() || line[pos] != '"') return {};
  std::string value;
  for (++pos; pos < line.size() && line[pos] != '"'; ++pos) {
    if (line[pos] == '\\' && pos + 1 < line.size()) ++pos;
    value += line[pos];
  }
  if (pos >= line.size()) return {};  // no closing quote
  const std::string homeRef = "$HOME";
  if (value.compare(0, homeRef.size(), homeRef) == 0 &&
      (value.size() == homeRef.size() || value[homeRef.size()] == '/')) {
    return home + value.substr(homeRef.size());
  }
  return value[0] == '/' ? value : std::string();
}

std::string LookUpDesktop() {
  const std::string home = Env("HOME");
  if (home.empty()) return {};
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty()) config = home + "/.config";
  std::ifstream dirs(config + "/user-dirs.dirs");
  std::string line;
  std::string found;
  while (std::getline(dirs, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::string value = DesktopFromLine(line, home);
    if (!value.empty()) found = value;  // the last line wins, as in the shell
  }
  if (!found.empty()) return found;
  return home + "/Desktop";
}
}  // namespace

std::string GetDesktopPath() {
  const std::string found = LookUpDesktop();
  std::lock_guard<std::mutex> hold(lock);
  if (!found.empty()) lastFound = found;
  return lastFound;
}

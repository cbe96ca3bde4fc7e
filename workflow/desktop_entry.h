// Desktop launchers (freedesktop Desktop Entry files, "*.desktop"): writing
// the one the program leaves on a Linux desktop, and reading the command of
// any launcher back as a file manager would.
#pragma once

#include <string>
#include <vector>

struct DesktopEntry {
  std::string name;
  std::string comment;
  std::string exec;  // the Exec command line, with its own quoting
  std::string path;  // working directory; may be empty
  std::string icon;
  bool terminal = false;
};

// One argument as Exec carries it: as it is when it holds no reserved
// character, otherwise in double quotes with ", `, $ and \ escaped by a
// backslash; every % doubled.
std::string QuoteExecArgument(const std::string& argument);
std::string BuildExecLine(const std::vector<std::string>& arguments);

// The arguments of an Exec command line, quoting undone and field codes
// expanded (%% to %, %c the name, %k the launcher's own path, %i the icon
// option; the file and URL codes stand for nothing here). False, with
// *arguments unspecified, for a line a launcher may not hold: an open
// quote, an unknown field code, a field code inside quotes, no program.
[[nodiscard]] bool SplitExecLine(const std::string& exec, const DesktopEntry& entry,
                                 const std::string& entryFile, std::vector<std::string>* arguments);

// The whole file: group [Desktop Entry], Type=Application and the fields,
// each value with the string escapes (\\, \n, \t, \r, a leading \s).
std::string FormatDesktopEntry(const DesktopEntry& entry);

// Reads the [Desktop Entry] group of a launcher. False when there is none,
// when it is not of Type=Application or has no Exec.
[[nodiscard]] bool ParseDesktopEntry(const std::string& content, DesktopEntry* entry);

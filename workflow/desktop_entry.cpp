#include "workflow/desktop_entry.h"

#include <cstring>
#include <sstream>

namespace {
const char kReserved[] = " \t\n\"'\\><~|&;$*?#()`";

std::string EscapeValue(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == ' ' && i == 0) {
      out += "\\s";
    } else {
      out += c;
    }
  }
  return out;
}

std::string UnescapeValue(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    const char next = value[++i];
    switch (next) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:  // not a string escape: left for the Exec quoting rules
        out += '\\';
        out += next;
    }
  }
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::string QuoteExecArgument(const std::string& argument) {
  std::string out;
  const bool quote = argument.empty() || argument.find_first_of(kReserved) != std::string::npos;
  if (quote) out += '"';
  for (char c : argument) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    out += c;
    if (c == '%') out += '%';
  }
  if (quote) out += '"';
  return out;
}

std::string BuildExecLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    line += QuoteExecArgument(argument);
  }
  return line;
}

bool SplitExecLine(const std::string& exec, const DesktopEntry& entry, const std::string& entryFile,
                   std::vector<std::string>* arguments) {
  arguments->clear();
  size_t i = 0;
  while (i < exec.size()) {
    if (IsBlank(exec[i])) {
      ++i;
      continue;
    }
    std::string argument;
    if (exec[i] == '"') {
      for (++i;; ++i) {
        if (i >= exec.size()) return false;  // open quote
        const char c = exec[i];
        if (c == '"') break;
        if (c == '\\' && i + 1 < exec.size() && std::strchr("\"`$\\", exec[i + 1]) != nullptr) {
          argument += exec[++i];
        } else if (c == '%') {
          if (i + 1 >= exec.size() || exec[i + 1] != '%') return false;
          argument += '%';
          ++i;
        } else {
          argument += c;
        }
      }
      ++i;
      if (i < exec.size() && !IsBlank(exec[i])) return false;  // "a"b
      arguments->push_back(argument);
      continue;
    }
    // An unquoted argument; a field code may stand for several arguments or
    // none, so each is expanded where it stands.
    bool dropped = false;
    for (; i < exec.size() && !IsBlank(exec[i]); ++i) {
      const char c = exec[i];
      if (c == '"') return false;
      if (c != '%') {
        argument += c;
        continue;
      }
      if (++i >= exec.size()) return false;
      switch (exec[i]) {
        case '%':
          argument += '%';
          break;
        case 'c':
          argument += entry.name;
          break;
        case 'k':
          argument += entryFile;
          break;
        case 'i':
          if (!entry.icon.empty()) {
            arguments->push_back("--icon");
            argument += entry.icon;
          } else {
            dropped = true;
          }
          break;
        case 'f':
        case 'F':
        case 'u':
        case 'U':
        case 'd':
        case 'D':
        case 'n':
        case 'N':
        case 'v':
        case 'm':
          dropped = true;  // no file or URL is handed over
          break;
        default:
          return false;
      }
    }
    if (!argument.empty() || !dropped) arguments->push_back(argument);
  }
  return !arguments->empty() && !arguments->front().empty();
}

std::string FormatDesktopEntry(const DesktopEntry& entry) {
  std::string out = "[Desktop Entry]\nType=Application\n";
  out += "Name=" + EscapeValue(entry.name) + "\n";
  if (!entry.comment.empty()) out += "Comment=" + EscapeValue(entry.comment) + "\n";
  out += "Exec=" + EscapeValue(entry.exec) + "\n";
  if (!entry.path.empty()) out += "Path=" + EscapeValue(entry.path) + "\n";
  if (!entry.icon.empty()) out += "Icon=" + EscapeValue(entry.icon) + "\n";
  out += std::string("Terminal=") + (entry.terminal ? "true" : "false") + "\n";
  return out;
}

bool ParseDesktopEntry(const std::string& content, DesktopEntry* entry) {
  *entry = DesktopEntry{};
  std::istringstream lines(content);
  std::string line;
  bool inGroup = false;
  bool seenGroup = false;
  std::string type;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inGroup = line == "[Desktop Entry]";
      seenGroup = seenGroup || inGroup;
      continue;
    }
    if (!inGroup) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    size_t keyEnd = eq;
    while (keyEnd > 0 && IsBlank(line[keyEnd - 1])) --keyEnd;
    size_t valueStart = eq + 1;
    while (valueStart < line.size() && IsBlank(line[valueStart])) ++valueStart;
    const std::string key = line.substr(0, keyEnd);
    const std::string value = UnescapeValue(line.substr(valueStart));
    if (key == "Type") type = value;
    if (key == "Name") entry->name = value;
    if (key == "Comment") entry->comment = value;
    if (key == "Exec") entry->exec = value;
    if (key == "Path") entry->path = value;
    if (key == "Icon") entry->icon = value;
    if (key == "Terminal") entry->terminal = value == "true";
  }
  return seenGroup && type == "Application" && !entry->exec.empty();
}

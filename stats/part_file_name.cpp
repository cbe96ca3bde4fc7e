#include "stats/part_file_name.h"

#include <cstddef>

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(const std::string& text, size_t length, const char* word) {
  size_t i = 0;
  for (; i < length && word[i] != '\0'; ++i) {
    if (AsciiUpper(text[i]) != word[i]) return false;
  }
  return i == length && word[i] == '\0';
}

// COM and LPT take one digit, or a superscript one to three, which Windows
// also maps to the ports (as a single ANSI byte or in UTF-8).
bool IsPortNumber(const std::string& text, size_t begin, size_t end) {
  const std::string rest = text.substr(begin, end - begin);
  if (rest.size() == 1 && rest[0] >= '0' && rest[0] <= '9') return true;
  for (const char* superscript : {"\xB9", "\xB2", "\xB3", "\xC2\xB9", "\xC2\xB2", "\xC2\xB3"}) {
    if (rest == superscript) return true;
  }
  return false;
}

// The device names open a device wherever they stand in a path; what follows
// the first dot, and blanks before it, do not change that.
bool IsWindowsDeviceName(const std::string& name) {
  size_t stem = name.find('.');
  if (stem == std::string::npos) stem = name.size();
  while (stem > 0 && name[stem - 1] == ' ') --stem;
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (EqualsIgnoringCase(name, stem, device)) return true;
  }
  if (stem < 4) return false;
  return (EqualsIgnoringCase(name, 3, "COM") || EqualsIgnoringCase(name, 3, "LPT")) &&
         IsPortNumber(name, 3, stem);
}

}  // namespace

bool IsPlainFileName(const std::string& name, FileNameRules rules) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '/' || c == '\\' || c == ':') return false;
  }
  if (rules == FileNameRules::kPosix) return true;
  if (name.back() == '.' || name.back() == ' ') return false;
  return !IsWindowsDeviceName(name);
}

bool IsPlainPartFileName(const std::string& name) {
  return IsPlainFileName(name, PlatformFileNameRules());
}

std::string FileNameKey(const std::string& name, FileNameRules rules) {
  if (rules == FileNameRules::kPosix) return name;
  std::string key = name;
  for (char& c : key) c = AsciiUpper(c);
  return key;
}

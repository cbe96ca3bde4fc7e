// Whether the file name a part URL gives can be used as it is: the parts are
// written into the download folder under that name, and the name comes from
// the statistics server.
#pragma once

#include <string>

enum class FileNameRules { kPosix, kWindows };

// The rules of the system this program runs on.
FileNameRules PlatformFileNameRules();

// True when name is one plain file name under rules: not empty, not "." or
// "..", no path separator of either kind, no ':' (a drive or a stream of
// another file on Windows) and no control character. Windows rules also turn
// away a trailing dot or blank, which the system drops, and the device
// names (CON, NUL, COM1, ...), with or without an extension, in any case.
// Everything else, non-ASCII bytes included, is plain.
[[nodiscard]] bool IsPlainFileName(const std::string& name, FileNameRules rules);

// IsPlainFileName under the platform's rules.
[[nodiscard]] bool IsPlainPartFileName(const std::string& name);

// The form under which two names are the same file under rules: the name
// itself, or under Windows rules its ASCII letters in upper case (the
// system's case folding goes further for letters beyond ASCII; two names
// that differ only there are not caught).
std::string FileNameKey(const std::string& name, FileNameRules rules);

// Opening files by their narrow UTF-8 path: a download to write into, a file
// to read back.
#pragma once

#include <cstdio>
#include <string>

// How the file is opened: made new (no file of that name may exist), emptied,
// or appended to.
enum class FileOpen { New, Truncate, Append };

// A binary stream for writing, or null. Outside Windows a symbolic link under
// the name is never followed, and New fails when anything has the name.
std::FILE* OpenFileForWriting(const std::string& path, FileOpen how);

// A binary stream for reading, or null.
std::FILE* OpenFileForReading(const std::string& path);

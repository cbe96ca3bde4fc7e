// Opening a file for writing a download into it.
#pragma once

#include <cstdio>
#include <string>

// How the file is opened: made new (no file of that name may exist), emptied,
// or appended to.
enum class FileOpen { New, Truncate, Append };

// A binary stream for writing, or null. Outside Windows a symbolic link under
// the name is never followed, and New fails when anything has the name.
std::FILE* OpenFileForWriting(const std::string& path, FileOpen how);

// The wide runtime calls: fopen takes the ANSI code page, which cannot name
// every folder.
#include "platform/file_open.h"
#include "platform/narrow_text.h"

std::FILE* OpenFileForWriting(const std::string& path, FileOpen how) {
  return _wfopen(WidenText(path).c_str(), how == FileOpen::Append ? L"ab" : L"wb");
}

std::FILE* OpenFileForReading(const std::string& path) {
  return _wfopen(WidenText(path).c_str(), L"rb");
}

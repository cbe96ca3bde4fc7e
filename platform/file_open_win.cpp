#include "platform/file_open.h"

std::FILE* OpenFileForWriting(const std::string& path, FileOpen how) {
  return std::fopen(path.c_str(), how == FileOpen::Append ? "ab" : "wb");
}

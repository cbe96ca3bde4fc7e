#include "workflow/text_file.h"

#include <cstdio>

#include "platform/file_open.h"

void WriteTextFile(const std::string& path, const std::string& text) {
  std::FILE* file = OpenFileForWriting(path, FileOpen::Truncate);
  if (file == nullptr) return;
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

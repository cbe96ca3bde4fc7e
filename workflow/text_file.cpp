#include "workflow/text_file.h"

#include <cstdio>

void WriteTextFile(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

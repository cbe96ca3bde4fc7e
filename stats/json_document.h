// Owning handle for a Jansson document.
#pragma once

#include <jansson.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/file_open.h"

struct JsonDeleter {
  void operator()(json_t* json) const { json_decref(json); }
};
using JsonDocument = std::unique_ptr<json_t, JsonDeleter>;

// json_loadf without flags on the file at the UTF-8 path (json_load_file
// would open it through the ANSI code page); empty when the file cannot be
// opened or is not a loadable document.
inline JsonDocument LoadJsonFile(const std::string& path) {
  std::FILE* file = OpenFileForReading(path);
  if (file == nullptr) return nullptr;
  json_error_t error;
  JsonDocument document(json_loadf(file, 0, &error));
  std::fclose(file);
  return document;
}

// json_loadb without flags, from bytes in memory; empty when they are not a
// loadable document.
inline JsonDocument LoadJsonText(const std::string& text) {
  json_error_t error;
  return JsonDocument(json_loadb(text.data(), text.size(), 0, &error));
}

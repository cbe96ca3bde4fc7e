// Owning handle for a Jansson document.
#pragma once

#include <jansson.h>

#include <memory>
#include <string>

struct JsonDeleter {
  void operator()(json_t* json) const { json_decref(json); }
};
using JsonDocument = std::unique_ptr<json_t, JsonDeleter>;

// json_load_file without flags; empty when the file is not a loadable
// document.
inline JsonDocument LoadJsonFile(const std::string& path) {
  json_error_t error;
  return JsonDocument(json_load_file(path.c_str(), 0, &error));
}

// json_loadb without flags, from bytes in memory; empty when they are not a
// loadable document.
inline JsonDocument LoadJsonText(const std::string& text) {
  json_error_t error;
  return JsonDocument(json_loadb(text.data(), text.size(), 0, &error));
}

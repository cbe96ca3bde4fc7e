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

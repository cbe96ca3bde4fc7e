#include "server/comm_file.h"

#include <jansson.h>

#include <cstdlib>
#include <memory>

namespace {

struct JsonReleaser {
  void operator()(json_t* value) const { json_decref(value); }
};
using JsonPtr = std::unique_ptr<json_t, JsonReleaser>;

struct TextReleaser {
  void operator()(char* text) const { std::free(text); }
};

// Takes ownership of value; false when it is null or cannot be added.
bool Set(json_t* object, const std::string& key, json_t* value) {
  return value != nullptr && json_object_set_new(object, key.c_str(), value) == 0;
}

}  // namespace

int32_t ClampPartIndex(int64_t part, size_t count) {
  if (count == 0 || part <= 0) return 0;
  const auto last = static_cast<int64_t>(count) - 1;
  return static_cast<int32_t>(part < last ? part : last);
}

std::string BuildCommFile(const std::vector<InstallerPart>& parts, int64_t currentPart,
                          const std::string& urlBase) {
  JsonPtr root(json_object());
  if (!root) return {};
  bool ok =
      Set(root.get(), "parts", json_integer(static_cast<json_int_t>(parts.size()))) &&
      Set(root.get(), "current_part", json_integer(ClampPartIndex(currentPart, parts.size())));
  for (size_t i = 0; ok && i < parts.size(); ++i) {
    const std::string index = std::to_string(i);
    ok = Set(root.get(), "url_" + index, json_string((urlBase + parts[i].name).c_str())) &&
         Set(root.get(), "size_" + index, json_string(std::to_string(parts[i].size).c_str()));
    if (ok && !parts[i].sha256.empty()) {
      ok = Set(root.get(), "sha256_" + index, json_string(parts[i].sha256.c_str()));
    }
  }
  if (!ok) return {};
  std::unique_ptr<char, TextReleaser> text(
      json_dumps(root.get(), JSON_PRESERVE_ORDER | JSON_INDENT(1)));
  return text ? std::string(text.get()) + "\n" : std::string();
}

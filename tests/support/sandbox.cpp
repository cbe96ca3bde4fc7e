#include "support/sandbox.h"

#include <atomic>
#include <chrono>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

Sandbox::Sandbox() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path dir = fs::temp_directory_path() /
                 ("tovi-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(dir);
  dir_ = EnsureTrailingSeparator(dir.string());
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

void Sandbox::Write(const std::string& name, const std::string& content) const {
  std::ofstream out(Utf8Path(Path(name)), std::ios::binary | std::ios::trunc);
  out << content;
}

std::string Sandbox::Read(const std::string& name) const { return ReadFileBytes(Path(name)); }

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(Utf8Path(path), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::filesystem::path Utf8Path(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

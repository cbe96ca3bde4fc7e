#include "support/log_capture.h"

#include <algorithm>
#include <filesystem>

#include "platform/log.h"
#include "support/sandbox.h"

LogCapture::LogCapture() {
  static int counter = 0;
  path_ = (std::filesystem::temp_directory_path() /
           ("tovi-log-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "-" +
            std::to_string(counter++) + ".txt"))
              .string();
  stream_ = std::fopen(path_.c_str(), "wb");
  RedirectLogForTesting(stream_);
  VerboseLogging = true;
}

LogCapture::~LogCapture() {
  VerboseLogging = false;
  RedirectLogForTesting(stderr);
  if (stream_ != nullptr) std::fclose(stream_);
  std::remove(path_.c_str());
}

std::string LogCapture::Raw() const {
  std::fflush(stream_);
  return ReadFileBytes(path_);
}

std::vector<std::string> LogCapture::Bodies() const {
  std::vector<std::string> bodies;
  const std::string raw = Raw();
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find('\n', start);
    if (end == std::string::npos) end = raw.size();
    std::string line = raw.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Lines that come from a body with its own trailing newline leave an
    // empty line behind; it has no prefix.
    if (line.size() > 0 && line[0] == '[') {
      const auto close = line.find("] ");
      if (close != std::string::npos) line = line.substr(close + 2);
    }
    bodies.push_back(line);
    start = end + 1;
  }
  return bodies;
}

bool LogCapture::Contains(const std::string& body) const { return Count(body) > 0; }

size_t LogCapture::Count(const std::string& body) const {
  const auto bodies = Bodies();
  return static_cast<size_t>(std::count(bodies.begin(), bodies.end(), body));
}

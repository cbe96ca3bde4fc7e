// Turns logging on for the life of the object and collects the lines in a
// file of its own, so a test can check exactly what was logged.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Every line so far, without its "[time stamp] " prefix and line end.
  std::vector<std::string> Bodies() const;
  // The raw bytes written so far.
  std::string Raw() const;
  bool Contains(const std::string& body) const;
  size_t Count(const std::string& body) const;

 private:
  std::string path_;
  std::FILE* stream_ = nullptr;
};

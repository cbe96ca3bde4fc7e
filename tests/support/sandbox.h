// A fresh directory per test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/paths.h"

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // The directory, ending in the path separator.
  const std::string& Dir() const { return dir_; }
  std::string Path(const std::string& name) const { return dir_ + name; }

  void Write(const std::string& name, const std::string& content) const;
  std::string Read(const std::string& name) const;

 private:
  std::string dir_;
};

// Reads a whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// The path named by UTF-8 text, the program's narrow paths, whatever the
// system's code page (std::filesystem would read a plain string through it
// on Windows).
std::filesystem::path Utf8Path(const std::string& text);

// Sets environment variables of this process for the life of the object and
// puts the earlier values back afterwards.
#pragma once

#include <map>
#include <optional>
#include <string>

class ScopedEnv {
 public:
  explicit ScopedEnv(const std::map<std::string, std::string>& values);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

// Platform part.
void SetEnvValue(const std::string& name, const std::optional<std::string>& value);
std::optional<std::string> GetEnvValue(const std::string& name);

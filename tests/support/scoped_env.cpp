#include "support/scoped_env.h"

ScopedEnv::ScopedEnv(const std::map<std::string, std::string>& values) {
  for (const auto& [name, value] : values) {
    saved_[name] = GetEnvValue(name);
    SetEnvValue(name, value);
  }
}

ScopedEnv::~ScopedEnv() {
  for (const auto& [name, value] : saved_) SetEnvValue(name, value);
}

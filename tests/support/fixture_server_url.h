// Where the tovi_server CTest fixture's server listens.
#pragma once

#include <cstdlib>
#include <string>

#include "support/sandbox.h"

// "http://ADDR:PORT" of the fixture's server; empty when there is none.
inline std::string FixtureBaseUrl() {
  const char* dir = std::getenv("TOVI_TEST_SERVER_DIR");
  if (dir == nullptr) return "";
  std::string address = ReadFileBytes(std::string(dir) + "/address");
  while (!address.empty() && (address.back() == '\n' || address.back() == '\r')) address.pop_back();
  return address.empty() ? "" : "http://" + address;
}

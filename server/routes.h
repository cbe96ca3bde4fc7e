// The server's answers: statistics requests, installer parts and pages.
#pragma once

#include <cstdint>
#include <string>

#include "server/event_store.h"
#include "server/part_digests.h"

namespace httplib {
class Server;
}

struct ServerContext {
  std::string partsDir;
  EventStore* store = nullptr;
  PartDigests* digests = nullptr;
  // host[:port] for part URLs when a request carries no usable Host header.
  std::string fallbackHost;
  // Bytes per second each part download may use; 0 for no limit.
  int64_t rateLimit = 0;
};

// Registers every route on server and the one-line-per-request log on the
// standard error stream. context must outlive the server's run.
void InstallRoutes(httplib::Server& server, const ServerContext& context);

// The Host header when it is a plain host[:port] (letters, digits, '.', '-',
// ':', '[' and ']', at most 255 bytes); otherwise fallback.
std::string HostForUrls(const std::string& header, const std::string& fallback);

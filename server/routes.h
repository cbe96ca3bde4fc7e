// The server's answers: statistics requests, installer parts and pages.
// Called by the HTTP engine on its worker threads, several at once.
#pragma once

#include <cstdint>
#include <string>

#include "server/comm_file_signature.h"
#include "server/dashboard_routes.h"
#include "server/event_store.h"
#include "server/http_exchange.h"
#include "server/part_digests.h"

struct ServerContext {
  std::string partsDir;
  EventStore* store = nullptr;
  PartDigests* digests = nullptr;
  // host:port for part URLs when the connection's own address is unknown.
  std::string fallbackHost;
  // When not empty, part URLs are this base followed by the part's name, and
  // the parts themselves are not served here.
  std::string partsBaseUrl;
  // The publisher's dashboard; null when it is off (its paths are then 404).
  const DashboardContext* dashboard = nullptr;
  // When set, every communication file is signed with it.
  const CommFileSigner* signer = nullptr;
};

// The answer to one GET or HEAD request. A HEAD request gets the headers a
// GET would get and stores nothing.
HttpReply Route(const ServerContext& context, const HttpRequest& request);

// A plain-text answer ("text" and a newline).
HttpReply TextReply(int status, const std::string& text);

// A 200-style answer: status, content type and body.
HttpReply BodyReply(int status, const char* contentType, std::string body);

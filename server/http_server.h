// The HTTP engine: libmicrohttpd with its own event loop and a pool of
// worker threads, in front of the routes. It bounds what one client can
// hold (header size and count, request line, time to send the header,
// connections per address and in all) and answers each excess with its
// status without calling the routes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "server/routes.h"

// Connections the engine accepts past --max-connections, to answer them 503
// rather than leave them waiting unanswered.
inline constexpr int kRefusalSlots = 64;

struct HttpSettings {
  int threads = 4;                   // worker threads of the event loop
  int64_t maxHeaderBytes = 16384;    // all header lines together: 431
  int maxHeaders = 100;              // header lines: 431
  int64_t maxUriBytes = 8192;        // request target, query included: 414
  int headerTimeoutSeconds = 10;     // from connection or previous answer to a whole header: 408
  int idleTimeoutSeconds = 30;       // a connection with no traffic at all is closed
  int maxConnections = 1024;         // in all: 503 beyond
  int maxConnectionsPerClient = 64;  // per client address: 429 beyond
  int64_t rateLimit = 0;             // part bytes per second per connection, 0 for none
  int storeTimeoutMs = 2000;         // a request's event-store work not done by then: 503
  int storeWorkers = 4;              // threads that run event-store work
  int readTimeoutMs = 30000;         // a dashboard read (a summary, an export's page): 503
  double reportRate = 20;            // store-writing requests per second per address: 429; 0 none
  double reportBurst = 40;           // ... at most this many at once
  bool requestLog = true;            // one line per answered request on standard error
};

class HttpServer {
 public:
  HttpServer(const ServerContext& context, const HttpSettings& limits);
  ~HttpServer();  // stops a running server
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Listens on the numeric address and port (port 0: any free one). False,
  // with the reason in error, when it cannot.
  [[nodiscard]] bool Listen(const std::string& address, int port, std::string& error);

  // The port it listens on after Listen.
  int Port() const;

  // Starts answering on the listening socket; the context must be complete
  // by now. False, with the reason in error, when it cannot.
  [[nodiscard]] bool Serve(std::string& error);

  // Stops accepting, closes every connection (idle keep-alive ones at once)
  // and waits for the worker threads; a request whose handler has begun is
  // finished first, so every report answered 200 is stored. Requests still
  // waiting for the event store get 503 and the store is interrupted, so the
  // stop is quick even while the database hangs.
  void Stop();

  struct Engine;

 private:
  std::unique_ptr<Engine> engine_;
};

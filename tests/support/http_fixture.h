// A small HTTP/1.1 server inside the test process, on 127.0.0.1 at a port
// the system picks. It answers every request with one canned reply, into
// which a test injects faults, and records each request it got. Its accept
// loop runs on a thread of its own; every wait in it is bounded, and the
// destructor stops it within a fraction of a second, even with a client that
// stopped reading. One connection is served at a time, then closed.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/test_socket.h"

struct HttpReply {
  int status = 200;
  std::string body;
  // When not negative, the body is PatternBytes(0, patternSize) instead of
  // `body`, made on the fly so that large bodies cost no memory.
  int64_t patternSize = -1;
  // A 200 reply answers "Range: bytes=A-" and "bytes=A-B" with 206 and the
  // slice; with false it ignores the range and sends 200 and the whole body.
  bool honorRange = true;
  // Further header lines, each ending in "\r\n" (a Location, say).
  std::string headers = {};
  // Announced Content-Length; -1 announces the real length.
  int64_t contentLength = -1;
  // False sends no Content-Length: the body ends when the connection closes.
  bool announceLength = true;
  // False leaves "Connection: close" out (the connection still closes after
  // the reply), so that a client reads the body of a redirect it follows.
  bool announceClose = true;
  // Close the connection after this many body bytes (-1: never).
  int64_t closeAfter = -1;
  // Stop sending after this many body bytes and hold the connection until
  // the client goes away or the fixture stops (-1: never).
  int64_t stallAfter = -1;
  // Body bytes per second; 0 sends as fast as the socket takes them.
  int64_t bytesPerSecond = 0;
  // Read the request and never answer, holding the connection (a black hole).
  bool silent = false;
  // Read the request and reset the connection without a word.
  bool reset = false;
  // A stalled or silent connection is closed after this long at the latest,
  // so a client without a time-out of its own still ends.
  int holdMs = 10000;
};

// Byte offset of the test pattern: varies with the offset so that a shifted
// or repeated slice shows.
char PatternByte(int64_t offset);
std::string PatternBytes(int64_t offset, size_t count);

class HttpFixture {
 public:
  explicit HttpFixture(HttpReply reply = {});
  // Listens on a given port (one that was free a moment ago, so that a
  // client can first meet it closed); Listening() tells whether it worked.
  HttpFixture(HttpReply reply, uint16_t port);
  ~HttpFixture();
  HttpFixture(const HttpFixture&) = delete;
  HttpFixture& operator=(const HttpFixture&) = delete;

  bool Listening() const { return listener_ != kNoSocket; }
  uint16_t Port() const { return port_; }
  // "http://127.0.0.1:<port>" + path.
  std::string Url(const std::string& path = "/file.bin") const;

  // Replaces the reply for later connections.
  void SetReply(const HttpReply& reply);
  // The next connections take these, one each in order, before the reply.
  void QueueReplies(const std::vector<HttpReply>& replies);

  // Each request's head as received: request line and headers, lines ending
  // in "\r\n", without the blank line that ends it.
  std::vector<std::string> Requests() const;
  size_t RequestCount() const;
  // The value of a header in request index (case-insensitive name), or
  // "<none>" when the request has no such header.
  std::string Header(size_t index, const std::string& name) const;
  // The request line of request index ("GET /file.bin HTTP/1.1").
  std::string RequestLine(size_t index) const;

  // Body bytes handed to the socket over all connections.
  int64_t BodyBytesSent() const { return bodyBytesSent_.load(); }

 private:
  void AcceptLoop();
  void Serve(TestSocket connection);
  bool ReadHead(TestSocket connection, std::string* head);
  bool SendAll(TestSocket connection, const char* data, size_t size);
  void HoldUntilClosed(TestSocket connection, int holdMs);

  TestSocket listener_ = kNoSocket;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int64_t> bodyBytesSent_{0};
  mutable std::mutex mutex_;
  HttpReply reply_;
  std::vector<HttpReply> queued_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

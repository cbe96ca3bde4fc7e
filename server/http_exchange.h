// One request as the routes see it, and the reply they make. The HTTP
// engine fills the request and sends the reply; the routes know nothing of
// the engine.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct HttpRequest {
  std::string method;   // "GET" or "HEAD"; other methods never reach the routes
  std::string path;     // as sent, before '?', not decoded
  std::string query;    // as sent, after the first '?'; empty when there is none
  std::string host;     // the Host header, empty when absent
  std::string range;    // the Range header, empty when absent
  std::string ifRange;  // the If-Range header, empty when absent
  std::string client;   // the peer's address
  std::string local;    // host:port the client connected to (the server's own), or empty
  // The Authorization header, empty when absent.
  std::string authorization;
  bool Head() const { return method == "HEAD"; }
};

struct HttpReply {
  int status = 200;
  std::string contentType = "text/plain; charset=utf-8";
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // A part file answer instead of body: the engine sends length bytes of
  // the open descriptor from offset and then closes it.
  int fileFd = -1;
  int64_t fileOffset = 0;
  int64_t fileLength = 0;
  // A body made while it is sent, instead of body: each call appends the
  // next piece and returns true, an empty piece ending the body; false drops
  // the connection. Called one call at a time, off the threads that serve
  // files, on the threads of storeLane.
  std::function<bool(std::string& piece)> stream;
  // Work that needs the event store: when set, the engine runs it off the
  // threads that serve files (see store_queue.h) and sends what it returns
  // instead of this reply, or 503 with Retry-After when it is not done in
  // time. The other fields are then unused.
  std::function<HttpReply()> storeWork;
  // Whose threads run storeWork (and a stream's pieces): the events' (reports,
  // starts, resumes: quick, and counted against the client's report rate), or
  // the publisher's reads (the dashboard), slower, on threads of their own so
  // they never hold up a report.
  enum class StoreLane { kEvents, kReads };
  StoreLane storeLane = StoreLane::kEvents;
};

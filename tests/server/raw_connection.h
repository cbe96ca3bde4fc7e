// A plain TCP connection to the server under test, for what an HTTP library
// would smooth over: pipelined requests, a header sent line by line, a client
// that never reads. Every wait is bounded.
#pragma once

#include <chrono>
#include <map>
#include <string>

struct RawResponse {
  int status = 0;                              // 0 when no whole response came
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;

  std::string Header(const std::string& lowerName) const {
    const auto found = headers.find(lowerName);
    return found == headers.end() ? std::string() : found->second;
  }
};

class RawConnection {
 public:
  RawConnection() = default;
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  // Connects to "127.0.0.1:PORT". receiveBuffer > 0 shrinks the socket's
  // receive buffer first (a slow reader); source, when given, is the local
  // address to connect from (another loopback address is another client).
  [[nodiscard]] bool Connect(const std::string& address, int receiveBuffer = 0,
                             const std::string& source = "");
  // Sends all of data within 10 s; false when the peer is gone.
  [[nodiscard]] bool Send(const std::string& data);
  // Reads one response (Content-Length framed; a HEAD answer has no body
  // whatever its length says).
  RawResponse Read(std::chrono::milliseconds limit, bool head = false);
  // Reads only the status line and header of a response (its body, if any,
  // stays unread): for a client that stops reading.
  RawResponse ReadHeader(std::chrono::milliseconds limit);
  // True when the server closed the connection within limit.
  bool ClosedWithin(std::chrono::milliseconds limit);
  void Close();

 private:
  bool Fill(std::chrono::steady_clock::time_point deadline);
  int fd_ = -1;
  std::string pending_;
};

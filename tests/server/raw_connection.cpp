#include "server/raw_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

}  // namespace

RawConnection::~RawConnection() { Close(); }

void RawConnection::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool RawConnection::Connect(const std::string& address, int receiveBuffer,
                            const std::string& source) {
  const size_t colon = address.rfind(':');
  if (colon == std::string::npos) return false;
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  if (receiveBuffer > 0) {
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  }
  if (!source.empty()) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (inet_pton(AF_INET, source.c_str(), &local.sin_addr) != 1 ||
        bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      return false;
    }
  }
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<uint16_t>(std::atoi(address.c_str() + colon + 1)));
  if (inet_pton(AF_INET, address.substr(0, colon).c_str(), &peer.sin_addr) != 1) return false;
  return connect(fd_, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0;
}

bool RawConnection::Send(const std::string& data) {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  size_t sent = 0;
  while (sent < data.size()) {
    pollfd entry{fd_, POLLOUT, 0};
    if (poll(&entry, 1, MillisLeft(deadline)) <= 0) return false;
    const ssize_t n = send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool RawConnection::Fill(Clock::time_point deadline) {
  pollfd entry{fd_, POLLIN, 0};
  if (poll(&entry, 1, MillisLeft(deadline)) <= 0) return false;
  char buffer[65536];
  const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
  if (n <= 0) return false;
  pending_.append(buffer, static_cast<size_t>(n));
  return true;
}

RawResponse RawConnection::Read(std::chrono::milliseconds limit, bool head) {
  const auto deadline = Clock::now() + limit;
  RawResponse response;
  size_t end = 0;
  while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
    if (!Fill(deadline)) return response;
  }
  const std::string header = pending_.substr(0, end + 2);
  size_t lineEnd = header.find("\r\n");
  const std::string statusLine = header.substr(0, lineEnd);
  size_t length = 0;
  for (size_t at = lineEnd + 2; at < header.size();) {
    const size_t next = header.find("\r\n", at);
    const std::string line = header.substr(at, next - at);
    at = next + 2;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    response.headers[Lower(line.substr(0, colon))] = value;
  }
  if (const auto found = response.headers.find("content-length");
      found != response.headers.end() && !head) {
    length = static_cast<size_t>(std::strtoull(found->second.c_str(), nullptr, 10));
  }
  while (pending_.size() < end + 4 + length) {
    if (!Fill(deadline)) return response;
  }
  response.body = pending_.substr(end + 4, length);
  pending_.erase(0, end + 4 + length);
  if (statusLine.size() >= 12) response.status = std::atoi(statusLine.c_str() + 9);
  return response;
}

RawResponse RawConnection::ReadHeader(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  RawResponse response;
  size_t end = 0;
  while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
    if (!Fill(deadline)) return response;
  }
  const std::string header = pending_.substr(0, end + 2);
  pending_.erase(0, end + 4);
  for (size_t at = header.find("\r\n") + 2; at < header.size();) {
    const size_t next = header.find("\r\n", at);
    const std::string line = header.substr(at, next - at);
    at = next + 2;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    response.headers[Lower(line.substr(0, colon))] = value;
  }
  if (header.size() >= 12) response.status = std::atoi(header.c_str() + 9);
  return response;
}

bool RawConnection::ClosedWithin(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    pollfd entry{fd_, POLLIN, 0};
    if (poll(&entry, 1, MillisLeft(deadline)) <= 0) return false;
    char buffer[4096];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return true;
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

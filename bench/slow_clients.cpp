// Slow and idle clients beside normal requests: opens connections that
// trickle a header, connections that stay silent and connections that fetch
// a large part without reading it, then times fresh normal requests for a
// while and prints how long the slowest took.
//
//   bench_slow_clients ADDR:PORT NORMAL_TARGET LARGE_TARGET SECONDS [EACH
//                      [SLOW_BODY SLOW_HEADER ADDRESSES]]
//
// EACH (default 20) is the number of connections of each kind. SLOW_BODY
// connections announce a 100000-byte body and send one byte of it every few
// seconds; SLOW_HEADER connections trickle a header line a second; both come
// from ADDRESSES loopback addresses (127.0.0.2 on), opened before the
// normal requests, which come from 127.0.0.1. What the server answered
// them is counted.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int Connect(const std::string& host, int port, int receiveBuffer, const std::string& source = "") {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (!source.empty()) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, source.c_str(), &local.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      close(fd);
      return -1;
    }
  }
  if (receiveBuffer > 0)
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, host.c_str(), &address.sin_addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendText(int fd, const std::string& text) {
  return send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

// A whole answer to one GET on a fresh connection, bounded by 10 s: its
// latency in milliseconds, or -1.
double NormalRequest(const std::string& host, int port, const std::string& target) {
  const auto began = Clock::now();
  const int fd = Connect(host, port, 0);
  if (fd < 0) return -1;
  bool ok = SendText(fd, "GET " + target + " HTTP/1.1\r\nHost: bench\r\nConnection: close\r\n\r\n");
  std::string answer;
  while (ok) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 10000) <= 0) {
      ok = false;
      break;
    }
    char buffer[16384];
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    answer.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  if (!ok || answer.rfind("HTTP/1.1 200", 0) != 0) return -1;
  return std::chrono::duration<double, std::milli>(Clock::now() - began).count();
}

// The status of an answer that came within limitMs on fd, 0 for none, -1
// when the server closed the connection without one.
int AnswerStatus(int fd, int limitMs) {
  pollfd entry{fd, POLLIN, 0};
  if (poll(&entry, 1, limitMs) <= 0) return 0;
  char buffer[512];
  const ssize_t got = recv(fd, buffer, sizeof buffer - 1, MSG_DONTWAIT);
  if (got <= 0) return -1;
  buffer[got] = '\0';
  return std::strncmp(buffer, "HTTP/1.1 ", 9) == 0 ? std::atoi(buffer + 9) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s ADDR:PORT NORMAL_TARGET LARGE_TARGET SECONDS [EACH]\n",
                 argv[0]);
    return 2;
  }
  const std::string address = argv[1];
  const std::string host = address.substr(0, address.rfind(':'));
  const int port = std::atoi(address.c_str() + address.rfind(':') + 1);
  const std::string normal = argv[2];
  const std::string large = argv[3];
  const int seconds = std::atoi(argv[4]);
  const int each = argc > 5 ? std::atoi(argv[5]) : 20;
  const int slowBodies = argc > 6 ? std::atoi(argv[6]) : 0;
  const int slowHeaders = argc > 7 ? std::atoi(argv[7]) : 0;
  const int addresses = argc > 8 && std::atoi(argv[8]) > 0 ? std::atoi(argv[8]) : 1;
  auto source = [addresses](int i) { return "127.0.0." + std::to_string(2 + i % addresses); };

  // Slow headers first: they stay. Slow bodies after: each is answered at
  // once (413 with this server) or refused, and their answers are counted.
  std::vector<int> slowHeaderFds, slowBodyFds;
  for (int i = 0; i < slowHeaders; ++i) {
    const int fd = Connect(host, port, 0, source(i));
    if (fd >= 0 && SendText(fd, "GET " + normal + " HTTP/1.1\r\nHost: bench\r\n")) {
      slowHeaderFds.push_back(fd);
    } else if (fd >= 0) {
      close(fd);
    }
  }
  std::map<int, int> bodyAnswers;
  for (int i = 0; i < slowBodies; ++i) {
    const int fd = Connect(host, port, 0, source(i));
    if (fd < 0) {
      ++bodyAnswers[-2];
      continue;
    }
    SendText(fd, "GET /update?mid=slowbody-" + std::to_string(i) +
                     "&game=29&distributor=0&bytes=1&current_part=0 HTTP/1.1\r\nHost: bench\r\n"
                     "Content-Length: 100000\r\n\r\nx");
    slowBodyFds.push_back(fd);
  }
  for (int fd : slowBodyFds) ++bodyAnswers[AnswerStatus(fd, 2000)];

  std::vector<int> trickling, idle, stalled;
  for (int i = 0; i < each; ++i) {
    int fd = Connect(host, port, 0);
    if (fd >= 0 && SendText(fd, "GET " + normal + " HTTP/1.1\r\nHost: bench\r\n")) {
      trickling.push_back(fd);
    }
    fd = Connect(host, port, 0);
    if (fd >= 0) idle.push_back(fd);
    fd = Connect(host, port, 4096);
    if (fd >= 0 && SendText(fd, "GET " + large + " HTTP/1.1\r\nHost: bench\r\n\r\n")) {
      stalled.push_back(fd);
    }
  }
  std::vector<double> latencies;
  int failed = 0;
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  auto nextDrip = Clock::now();
  for (int line = 0; Clock::now() < end;) {
    if (Clock::now() >= nextDrip) {
      for (int fd : trickling) SendText(fd, "X-Drip-" + std::to_string(line) + ": 1\r\n");
      for (int fd : slowHeaderFds) SendText(fd, "X-Drip-" + std::to_string(line) + ": 1\r\n");
      if (line % 5 == 0) {
        for (int fd : slowBodyFds) SendText(fd, "x");
      }
      ++line;
      nextDrip += std::chrono::seconds(1);
    }
    const double latency = NormalRequest(host, port, normal);
    if (latency < 0) {
      ++failed;
    } else {
      latencies.push_back(latency);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::map<int, int> headerAnswers;
  for (int fd : slowHeaderFds) ++headerAnswers[AnswerStatus(fd, 0)];
  for (const auto* list : {&trickling, &idle, &stalled, &slowHeaderFds, &slowBodyFds}) {
    for (int fd : *list) close(fd);
  }
  std::sort(latencies.begin(), latencies.end());
  const double p99 = latencies.empty()
                         ? 0
                         : latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
  std::printf(
      "slow clients: %zu trickling, %zu idle, %zu stalled readers; normal requests %zu ok, "
      "%d failed; latency median %.1f ms, p99 %.1f ms, max %.1f ms\n",
      trickling.size(), idle.size(), stalled.size(), latencies.size(), failed,
      latencies.empty() ? 0 : latencies[latencies.size() / 2], p99,
      latencies.empty() ? 0 : latencies.back());
  auto tally = [](const std::map<int, int>& answers) {
    std::string text;
    for (const auto& [status, count] : answers) {
      if (!text.empty()) text += ", ";
      text += (status == 0    ? std::string("no answer yet")
               : status == -1 ? std::string("closed")
               : status == -2 ? std::string("not connected")
                              : std::to_string(status)) +
              " x" + std::to_string(count);
    }
    return text;
  };
  if (slowBodies > 0 || slowHeaders > 0) {
    std::printf("  from %d addresses: %zu slow-body clients answered: %s; %zu slow-header clients "
                "at the end: %s\n",
                addresses, slowBodyFds.size(), tally(bodyAnswers).c_str(), slowHeaderFds.size(),
                tally(headerAnswers).c_str());
  }
  return failed == 0 ? 0 : 1;
}

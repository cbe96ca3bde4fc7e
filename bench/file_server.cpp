// Serves one file to every GET on 127.0.0.1 with sendfile, so the server's
// cost stays far below the client's. Prints the port, then serves until
// killed. Range requests are not needed by the benchmark and are ignored.
// With a rate, the body is paced to that many bytes per second, like a link
// slower than the client.
//
//   bench_file_server <file> [bytes per second]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

void Serve(int connection, int file, off_t size, double rate) {
  // Read the request head; its content does not matter.
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    head.append(buffer, static_cast<size_t>(got));
  }
  const std::string header = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) +
                             "\r\nConnection: close\r\n\r\n";
  if (::send(connection, header.data(), header.size(), MSG_NOSIGNAL) < 0) return;
  const auto start = std::chrono::steady_clock::now();
  // A paced body goes out in hundredths of a second's worth.
  const off_t slice = rate > 0 ? static_cast<off_t>(rate / 100) + 1 : size;
  off_t offset = 0;
  while (offset < size) {
    if (rate > 0) {
      std::this_thread::sleep_until(start + std::chrono::duration<double>(offset / rate));
    }
    const off_t count = size - offset < slice ? size - offset : slice;
    if (::sendfile(connection, file, &offset, static_cast<size_t>(count)) <= 0) return;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s <file> [bytes per second]\n", argv[0]);
    return 2;
  }
  const double rate = argc == 3 ? std::strtod(argv[2], nullptr) : 0.0;
  const int file = ::open(argv[1], O_RDONLY);
  struct stat info {};
  if (file < 0 || ::fstat(file, &info) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  const int yes = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 16) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("listen");
    return 1;
  }
  std::printf("%u\n", ntohs(address.sin_port));
  std::fflush(stdout);
  for (;;) {
    const int connection = ::accept(listener, nullptr, nullptr);
    if (connection < 0) continue;
    Serve(connection, file, info.st_size, rate);
    ::close(connection);
  }
}

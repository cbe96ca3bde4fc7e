#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "support/test_socket.h"

namespace {
bool Wait(TestSocket socket, short events, int timeoutMs) {
  pollfd entry{static_cast<int>(socket), events, 0};
  return ::poll(&entry, 1, timeoutMs) > 0;
}
}  // namespace

TestSocket ListenOnLoopback(uint16_t* port) {
  const TestSocket listener = ListenOnLoopbackPort(0);
  if (listener == kNoSocket) return kNoSocket;
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(static_cast<int>(listener), reinterpret_cast<sockaddr*>(&address), &length) !=
      0) {
    CloseTestSocket(listener);
    return kNoSocket;
  }
  *port = ntohs(address.sin_port);
  return listener;
}

TestSocket AcceptConnection(TestSocket listener) {
  const int connection = ::accept(static_cast<int>(listener), nullptr, nullptr);
  if (connection < 0) return kNoSocket;
  ::fcntl(connection, F_SETFL, ::fcntl(connection, F_GETFL) | O_NONBLOCK);
  return connection;
}

bool WaitReadable(TestSocket socket, int timeoutMs) { return Wait(socket, POLLIN, timeoutMs); }

bool WaitWritable(TestSocket socket, int timeoutMs) { return Wait(socket, POLLOUT, timeoutMs); }

int ReceiveSome(TestSocket socket, char* buffer, int size) {
  const auto got = ::recv(static_cast<int>(socket), buffer, static_cast<size_t>(size), 0);
  return got < 0 ? -1 : static_cast<int>(got);
}

int SendSome(TestSocket socket, const char* data, int size) {
  const auto sent = ::send(static_cast<int>(socket), data, static_cast<size_t>(size), MSG_NOSIGNAL);
  if (sent >= 0) return static_cast<int>(sent);
  return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? 0 : -1;
}

void CloseTestSocket(TestSocket socket) {
  if (socket != kNoSocket) ::close(static_cast<int>(socket));
}

void ResetOnClose(TestSocket socket) {
  if (socket == kNoSocket) return;
  const linger abort{1, 0};
  ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
}

TestSocket ListenOnLoopbackPort(uint16_t port) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener < 0) return kNoSocket;
  const int yes = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 16) != 0) {
    ::close(listener);
    return kNoSocket;
  }
  return listener;
}

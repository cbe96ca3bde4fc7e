#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/test_socket.h"

namespace {
// Winsock needs one start per process before any socket call.
bool StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

SOCKET Native(TestSocket socket) { return static_cast<SOCKET>(socket); }

bool Wait(TestSocket socket, bool forWrite, int timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(Native(socket), &set);
  timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  const int ready = forWrite ? ::select(0, nullptr, &set, nullptr, &timeout)
                             : ::select(0, &set, nullptr, nullptr, &timeout);
  return ready > 0;
}
}  // namespace

TestSocket ListenOnLoopback(uint16_t* port) {
  const TestSocket listener = ListenOnLoopbackPort(0);
  if (listener == kNoSocket) return kNoSocket;
  sockaddr_in address{};
  int length = sizeof address;
  if (::getsockname(Native(listener), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CloseTestSocket(listener);
    return kNoSocket;
  }
  *port = ntohs(address.sin_port);
  return listener;
}

TestSocket AcceptConnection(TestSocket listener) {
  const SOCKET connection = ::accept(Native(listener), nullptr, nullptr);
  if (connection == INVALID_SOCKET) return kNoSocket;
  u_long nonBlocking = 1;
  ::ioctlsocket(connection, FIONBIO, &nonBlocking);
  return static_cast<TestSocket>(connection);
}

bool WaitReadable(TestSocket socket, int timeoutMs) { return Wait(socket, false, timeoutMs); }

bool WaitWritable(TestSocket socket, int timeoutMs) { return Wait(socket, true, timeoutMs); }

int ReceiveSome(TestSocket socket, char* buffer, int size) {
  const int got = ::recv(Native(socket), buffer, size, 0);
  return got == SOCKET_ERROR ? -1 : got;
}

int SendSome(TestSocket socket, const char* data, int size) {
  const int sent = ::send(Native(socket), data, size, 0);
  if (sent != SOCKET_ERROR) return sent;
  return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

void CloseTestSocket(TestSocket socket) {
  if (socket != kNoSocket) ::closesocket(Native(socket));
}

void ResetOnClose(TestSocket socket) {
  if (socket == kNoSocket) return;
  const linger abort{1, 0};
  ::setsockopt(Native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
               sizeof abort);
}

TestSocket ListenOnLoopbackPort(uint16_t port) {
  if (!StartWinsock()) return kNoSocket;
  const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) return kNoSocket;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 16) != 0) {
    ::closesocket(listener);
    return kNoSocket;
  }
  return static_cast<TestSocket>(listener);
}

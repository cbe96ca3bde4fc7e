// The few socket calls the test servers need, over POSIX sockets or Winsock.
// Accepted sockets are non-blocking so a server thread never hangs on a
// client that stopped reading.
#pragma once

#include <cstdint>

using TestSocket = intptr_t;
inline constexpr TestSocket kNoSocket = -1;

// Listens on 127.0.0.1 at a port the system picks; stores it in *port.
// kNoSocket on failure.
TestSocket ListenOnLoopback(uint16_t* port);

// Accepts one pending connection (call after WaitReadable on the listener).
TestSocket AcceptConnection(TestSocket listener);

// True when the socket has input (or a pending connection, or the peer's
// close) within timeoutMs.
bool WaitReadable(TestSocket socket, int timeoutMs);
// True when the socket takes more output within timeoutMs.
bool WaitWritable(TestSocket socket, int timeoutMs);

// Bytes read, 0 when the peer closed, -1 on error or when nothing is there.
int ReceiveSome(TestSocket socket, char* buffer, int size);
// Bytes sent, 0 when the socket would block, -1 on error (peer gone).
int SendSome(TestSocket socket, const char* data, int size);

void CloseTestSocket(TestSocket socket);

// Makes the socket's close a reset rather than an orderly end.
void ResetOnClose(TestSocket socket);

// Listens on 127.0.0.1 at the given port (one that was free a moment ago);
// kNoSocket on failure.
TestSocket ListenOnLoopbackPort(uint16_t port);

// The process's recv(2): this definition in the executable takes the place
// of the C library's for every shared library too (ELF symbol
// interposition), so the HTTP engine's reads of client sockets pass the
// strict framing gate (request_gate.h). Sockets without a gate (the
// database's, anything else) are read as by the C library.
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "server/request_gate.h"

namespace {

ssize_t SystemRecv(int fd, void* buffer, size_t length, int flags) {
  return static_cast<ssize_t>(syscall(SYS_recvfrom, fd, buffer, length, flags, nullptr, nullptr));
}

}  // namespace

extern "C" ssize_t recv(int fd, void* buffer, size_t length, int flags) {
  RequestGate* gate = request_gates::Get(fd);
  if (gate == nullptr || flags != 0 || length == 0) return SystemRecv(fd, buffer, length, flags);
  return gate->Receive(fd, static_cast<char*>(buffer), length, SystemRecv);
}

bool RecvGateActive() {
  // The first definition in the global scope is the one every library's
  // call binds to.
  return dlsym(RTLD_DEFAULT, "recv") == reinterpret_cast<void*>(&recv);
}

// Strict HTTP/1.1 framing of the bytes a client sends, checked before the
// HTTP engine parses them. libmicrohttpd 0.9.75 accepts shapes RFC 9112
// asks a server to refuse (its MHD_OPTION_STRICT_FOR_CLIENT covers only a
// missing Host and blanks in names), and some of them it parses so that the
// application cannot tell afterwards: a header line with an empty name ends
// the header block and the rest runs as a second request, a NUL cuts a value
// short, an obs-fold line is glued to the previous name. So every byte the
// engine reads from a client passes a gate first (see recv_gate.cpp): whole
// lines are checked and handed on; at the first fault the request is cut
// there, ended as a header block, marked, and nothing after it reaches the
// engine. The engine then answers that request 400 and closes.
//
// Refused: a bare CR, a NUL or another control byte (HTAB aside) anywhere in
// the request line or a field; a request line that is not "method SP target
// SP HTTP/1.x"; a field line that starts with white space (obs-fold), has an
// empty or non-token name, or white space before the colon; HTTP/1.1 without
// exactly one Host (HTTP/1.0: at most one); two Content-Length fields or one
// that is not a decimal; Transfer-Encoding with Content-Length, given twice,
// or with a coding other than chunked. A bare LF ends a line as CRLF does
// (RFC 9112 allows it; so does the engine). A request that announces a body
// passes, and the engine answers it 413 and closes, so the gate stops
// checking that connection.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

class RequestGate {
 public:
  // Lines longer than lineCap are not checked here: the engine refuses them
  // (414 or 431) and closes, and the gate lets the rest pass unchecked.
  explicit RequestGate(size_t lineCap = 65536) : lineCap_(lineCap) {}

  // Takes bytes the client sent and appends to out what the engine may
  // read. A line is held back until it is whole.
  void Feed(const char* data, size_t size, std::string& out);

  // A recv(2) of up to length checked bytes for the engine, reading the
  // client's socket with read (recv's signature). As recv: the count, 0 at
  // the client's end, -1 with errno (EAGAIN: nothing checked yet). A short
  // count only when the socket had nothing more, since the engine then
  // waits for the socket to become readable again. After a refusal the
  // client's further bytes are read and dropped.
  using ReadFn = ssize_t (*)(int fd, void* buffer, size_t length, int flags);
  ssize_t Receive(int fd, char* buffer, size_t length, ReadFn read);

  // Not 0: the number (from 1) of the request on this connection that was
  // refused, which is the last one the engine will see.
  int RefusedRequest() const { return refusedRequest_; }
  const std::string& Reason() const { return reason_; }
  bool Refused() const { return state_ == State::kRefused; }

 private:
  enum class State { kRequestLine, kFields, kUnchecked, kRefused };

  void Line(const std::string& line, bool crlf, std::string& out);
  void Refuse(const char* reason, std::string& out);
  bool RequestLine(const std::string& line);
  bool Field(const std::string& line);
  bool EndOfFields();

  const size_t lineCap_;
  State state_ = State::kRequestLine;
  std::string ready_;    // checked bytes the engine has not read yet
  size_t readyAt_ = 0;
  std::string partial_;  // the start of a line not yet whole
  int requests_ = 0;     // request lines seen
  int refusedRequest_ = 0;
  std::string reason_;
  // The current request's header block.
  bool http11_ = false;
  int hosts_ = 0;
  int contentLengths_ = 0;
  bool bodyLength_ = false;  // a Content-Length above 0
  int transferEncodings_ = 0;
  bool chunked_ = false;
  int emptyLinesBefore_ = 0;
};

// True when the process's recv is the gate's (recv_gate.cpp, linked into
// the server program), so that the engine's reads pass the gates.
bool RecvGateActive();

// The gates of the connections the engine has open, by socket. Set before
// the engine reads from a socket, cleared before it closes it.
namespace request_gates {
// Room for descriptors below limit; call once before serving.
void Reserve(int limit);
void Set(int fd, RequestGate* gate);
RequestGate* Get(int fd);
}  // namespace request_gates

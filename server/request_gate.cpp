#include "server/request_gate.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {

bool IsTchar(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '!': case '#': case '$': case '%': case '&': case '\'': case '*': case '+': case '-':
    case '.': case '^': case '_': case '`': case '|': case '~':
      return true;
    default:
      return false;
  }
}

// VCHAR, obs-text, SP and HTAB: what a field value may hold.
bool IsFieldByte(unsigned char c) { return c == '\t' || c == ' ' || (c >= 0x21 && c != 0x7F); }

bool EqualsNoCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    char x = a[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (x != b[i]) return false;
  }
  return i == a.size() && b[i] == '\0';
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

void RequestGate::Feed(const char* data, size_t size, std::string& out) {
  size_t at = 0;
  while (at < size) {
    if (state_ == State::kRefused) return;  // nothing after the fault
    if (state_ == State::kUnchecked) {
      out.append(data + at, size - at);
      return;
    }
    const void* found = std::memchr(data + at, '\n', size - at);
    if (found == nullptr) {
      partial_.append(data + at, size - at);
      if (partial_.size() > lineCap_) {
        // The engine refuses a line this long and closes.
        out += partial_;
        partial_.clear();
        state_ = State::kUnchecked;
      }
      return;
    }
    const size_t end = static_cast<size_t>(static_cast<const char*>(found) - data);
    partial_.append(data + at, end - at);
    at = end + 1;
    std::string line;
    line.swap(partial_);
    const bool crlf = !line.empty() && line.back() == '\r';
    if (crlf) line.pop_back();
    Line(line, crlf, out);
  }
}

ssize_t RequestGate::Receive(int fd, char* buffer, size_t length, ReadFn read) {
  size_t given = 0;
  size_t dropped = 0;
  for (;;) {
    if (readyAt_ < ready_.size()) {
      const size_t take = std::min(length - given, ready_.size() - readyAt_);
      std::memcpy(buffer + given, ready_.data() + readyAt_, take);
      given += take;
      readyAt_ += take;
      if (readyAt_ == ready_.size()) {
        ready_.clear();
        readyAt_ = 0;
      }
      if (given == length) return static_cast<ssize_t>(given);
    }
    char chunk[16384];
    const ssize_t got = read(fd, chunk, sizeof chunk, 0);
    if (got > 0) {
      if (state_ == State::kRefused) {
        // Dropped, so that closing does not reset the connection before the
        // answer is read; a bounded amount per call.
        dropped += static_cast<size_t>(got);
        if (dropped < 65536) continue;
        if (given > 0) return static_cast<ssize_t>(given);
        errno = EAGAIN;
        return -1;
      }
      Feed(chunk, static_cast<size_t>(got), ready_);
      continue;
    }
    if (given > 0) return static_cast<ssize_t>(given);
    return got;  // 0 at the end; -1 with errno as read set it
  }
}

void RequestGate::Line(const std::string& line, bool crlf, std::string& out) {
  const char* terminator = crlf ? "\r\n" : "\n";
  if (state_ == State::kRequestLine && !line.empty()) {
    ++requests_;
    emptyLinesBefore_ = 0;
  }
  for (char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\r') return Refuse("a bare CR in the request", out);
    if (byte == 0) return Refuse("a NUL byte in the request", out);
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
      return Refuse("a control character in the request", out);
    }
  }
  if (state_ == State::kRequestLine) {
    if (line.empty()) {
      // Empty lines before a request line are ignored (RFC 9112 2.2), a few.
      if (++emptyLinesBefore_ > 4) {
        ++requests_;
        return Refuse("empty lines instead of a request", out);
      }
      out += line + terminator;
      return;
    }
    if (!RequestLine(line)) return Refuse("a malformed request line", out);
    http11_ = line.compare(line.size() - 8, 8, "HTTP/1.1") == 0;
    hosts_ = contentLengths_ = transferEncodings_ = 0;
    bodyLength_ = chunked_ = false;
    state_ = State::kFields;
    out += line + terminator;
    return;
  }
  if (line.empty()) {
    if (!EndOfFields()) return Refuse(reason_.c_str(), out);
    out += terminator;
    // A body comes: the engine refuses it and closes.
    state_ = (bodyLength_ || transferEncodings_ > 0) ? State::kUnchecked : State::kRequestLine;
    return;
  }
  if (line[0] == ' ' || line[0] == '\t') {
    return Refuse("a folded header line (obs-fold)", out);
  }
  if (!Field(line)) return Refuse(reason_.c_str(), out);
  out += line + terminator;
}

bool RequestGate::RequestLine(const std::string& line) {
  // method SP request-target SP HTTP-version, nothing else.
  const size_t first = line.find(' ');
  if (first == std::string::npos || first == 0) return false;
  const size_t second = line.find(' ', first + 1);
  if (second == std::string::npos || second == first + 1) return false;
  if (line.find(' ', second + 1) != std::string::npos) return false;
  for (size_t i = 0; i < first; ++i) {
    if (!IsTchar(static_cast<unsigned char>(line[i]))) return false;
  }
  for (size_t i = first + 1; i < second; ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    if (byte <= 0x20 || byte >= 0x7F) return false;
  }
  const std::string version = line.substr(second + 1);
  return version == "HTTP/1.1" || version == "HTTP/1.0";
}

bool RequestGate::Field(const std::string& line) {
  const size_t colon = line.find(':');
  if (colon == std::string::npos) {
    reason_ = "a header line without a colon";
    return false;
  }
  if (colon == 0) {
    reason_ = "a header line with an empty name";
    return false;
  }
  for (size_t i = 0; i < colon; ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    if (byte == ' ' || byte == '\t') {
      reason_ = "white space in or after a header name";
      return false;
    }
    if (!IsTchar(byte)) {
      reason_ = "a header name that is not a token";
      return false;
    }
  }
  for (size_t i = colon + 1; i < line.size(); ++i) {
    if (!IsFieldByte(static_cast<unsigned char>(line[i]))) {
      reason_ = "a byte a header value may not hold";
      return false;
    }
  }
  const std::string name = line.substr(0, colon);
  const std::string value = Trimmed(line.substr(colon + 1));
  if (EqualsNoCase(name, "host")) {
    ++hosts_;
  } else if (EqualsNoCase(name, "content-length")) {
    if (++contentLengths_ > 1) {
      reason_ = "two Content-Length fields";
      return false;
    }
    if (value.empty() || value.size() > 18 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
      reason_ = "a Content-Length that is not a decimal";
      return false;
    }
    bodyLength_ = value.find_first_not_of('0') != std::string::npos;
  } else if (EqualsNoCase(name, "transfer-encoding")) {
    if (++transferEncodings_ > 1) {
      reason_ = "two Transfer-Encoding fields";
      return false;
    }
    if (!EqualsNoCase(value, "chunked")) {
      reason_ = "a transfer coding other than chunked";
      return false;
    }
    chunked_ = true;
  }
  return true;
}

bool RequestGate::EndOfFields() {
  if (contentLengths_ > 0 && transferEncodings_ > 0) {
    reason_ = "both Content-Length and Transfer-Encoding";
  } else if (http11_ && hosts_ != 1) {
    reason_ = hosts_ == 0 ? "HTTP/1.1 without Host" : "two Host fields";
  } else if (!http11_ && hosts_ > 1) {
    reason_ = "two Host fields";
  } else {
    return true;
  }
  return false;
}

void RequestGate::Refuse(const char* reason, std::string& out) {
  if (reason != reason_.c_str()) reason_ = reason;
  if (state_ == State::kRequestLine) {
    // The engine needs a request to answer: a stand-in that reaches no route.
    out += "GET / HTTP/1.1\r\nHost: refused\r\n\r\n";
  } else {
    out += "\r\n";  // ends the header block there
  }
  refusedRequest_ = requests_;
  state_ = State::kRefused;
  partial_.clear();
}

namespace request_gates {
namespace {
std::unique_ptr<std::atomic<RequestGate*>[]> table;
int tableSize = 0;
}  // namespace

void Reserve(int limit) {
  if (limit <= tableSize) return;
  table = std::make_unique<std::atomic<RequestGate*>[]>(static_cast<size_t>(limit));
  for (int i = 0; i < limit; ++i) table[static_cast<size_t>(i)].store(nullptr);
  tableSize = limit;
}

void Set(int fd, RequestGate* gate) {
  if (fd >= 0 && fd < tableSize) table[static_cast<size_t>(fd)].store(gate);
}

RequestGate* Get(int fd) {
  if (fd < 0 || fd >= tableSize) return nullptr;
  return table[static_cast<size_t>(fd)].load(std::memory_order_acquire);
}
}  // namespace request_gates

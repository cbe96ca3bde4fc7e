#include "support/http_fixture.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>

namespace {

constexpr int kSliceMs = 20;
constexpr int kHeadTimeoutMs = 5000;
constexpr size_t kMaxHeadBytes = 64 * 1024;
constexpr size_t kChunkBytes = 64 * 1024;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string HeaderIn(const std::string& head, const std::string& name) {
  const std::string wanted = Lower(name) + ":";
  size_t start = head.find("\r\n");
  while (start != std::string::npos && start + 2 < head.size()) {
    start += 2;
    const size_t end = std::min(head.find("\r\n", start), head.size());
    const std::string line = head.substr(start, end - start);
    if (Lower(line.substr(0, wanted.size())) == wanted) {
      size_t value = wanted.size();
      while (value < line.size() && line[value] == ' ') ++value;
      return line.substr(value);
    }
    start = end;
  }
  return "<none>";
}

// "bytes=A-" or "bytes=A-B"; false for anything else.
bool ParseRange(const std::string& value, int64_t* first, int64_t* last) {
  if (value.rfind("bytes=", 0) != 0) return false;
  const std::string rangeSet = value.substr(6);
  const size_t dash = rangeSet.find('-');
  if (dash == std::string::npos || dash == 0) return false;
  char* end = nullptr;
  *first = std::strtoll(rangeSet.c_str(), &end, 10);
  if (end != rangeSet.c_str() + dash) return false;
  if (dash + 1 == rangeSet.size()) {
    *last = INT64_MAX;
    return true;
  }
  *last = std::strtoll(rangeSet.c_str() + dash + 1, &end, 10);
  return *end == '\0' && *last >= *first;
}

const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 206:
      return "Partial Content";
    case 302:
      return "Found";
    case 404:
      return "Not Found";
    case 416:
      return "Range Not Satisfiable";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

}  // namespace

char PatternByte(int64_t offset) { return static_cast<char>((offset * 7 + offset / 251) & 0xFF); }

std::string PatternBytes(int64_t offset, size_t count) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = PatternByte(offset + static_cast<int64_t>(i));
  return bytes;
}

HttpFixture::HttpFixture(HttpReply reply) : reply_(std::move(reply)) {
  listener_ = ListenOnLoopback(&port_);
  if (listener_ != kNoSocket) thread_ = std::thread([this] { AcceptLoop(); });
}

HttpFixture::HttpFixture(HttpReply reply, uint16_t port) : reply_(std::move(reply)) {
  listener_ = ListenOnLoopbackPort(port);
  if (listener_ != kNoSocket) {
    port_ = port;
    thread_ = std::thread([this] { AcceptLoop(); });
  }
}

HttpFixture::~HttpFixture() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
  CloseTestSocket(listener_);
}

std::string HttpFixture::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void HttpFixture::SetReply(const HttpReply& reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  reply_ = reply;
}

void HttpFixture::QueueReplies(const std::vector<HttpReply>& replies) {
  std::lock_guard<std::mutex> lock(mutex_);
  queued_.insert(queued_.end(), replies.begin(), replies.end());
}

std::vector<std::string> HttpFixture::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

size_t HttpFixture::RequestCount() const { return Requests().size(); }

std::string HttpFixture::Header(size_t index, const std::string& name) const {
  const auto requests = Requests();
  return index < requests.size() ? HeaderIn(requests[index], name) : "<no request>";
}

std::string HttpFixture::RequestLine(size_t index) const {
  const auto requests = Requests();
  if (index >= requests.size()) return "<no request>";
  return requests[index].substr(0, requests[index].find("\r\n"));
}

void HttpFixture::AcceptLoop() {
  while (!stop_.load()) {
    if (!WaitReadable(listener_, kSliceMs)) continue;
    const TestSocket connection = AcceptConnection(listener_);
    if (connection == kNoSocket) continue;
    Serve(connection);
    CloseTestSocket(connection);
  }
}

bool HttpFixture::ReadHead(TestSocket connection, std::string* head) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kHeadTimeoutMs);
  char buffer[4096];
  while (!stop_.load() && std::chrono::steady_clock::now() < deadline) {
    const size_t end = head->find("\r\n\r\n");
    if (end != std::string::npos) {
      head->resize(end + 2);
      return true;
    }
    if (head->size() > kMaxHeadBytes) return false;
    if (!WaitReadable(connection, kSliceMs)) continue;
    const int got = ReceiveSome(connection, buffer, sizeof buffer);
    if (got == 0) return false;
    if (got > 0) head->append(buffer, static_cast<size_t>(got));
  }
  return false;
}

bool HttpFixture::SendAll(TestSocket connection, const char* data, size_t size) {
  while (size > 0) {
    if (stop_.load()) return false;
    if (!WaitWritable(connection, kSliceMs)) continue;
    const int sent = SendSome(connection, data, static_cast<int>(std::min(size, size_t{1} << 20)));
    if (sent < 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

void HttpFixture::HoldUntilClosed(TestSocket connection, int holdMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(holdMs);
  char buffer[512];
  while (!stop_.load() && std::chrono::steady_clock::now() < deadline) {
    if (WaitReadable(connection, kSliceMs) && ReceiveSome(connection, buffer, sizeof buffer) == 0) {
      return;
    }
  }
}

void HttpFixture::Serve(TestSocket connection) {
  std::string head;
  if (!ReadHead(connection, &head)) return;
  HttpReply reply;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(head);
    if (queued_.empty()) {
      reply = reply_;
    } else {
      reply = queued_.front();
      queued_.erase(queued_.begin());
    }
  }
  if (reply.reset) {
    ResetOnClose(connection);
    return;
  }
  if (reply.silent) {
    HoldUntilClosed(connection, reply.holdMs);
    return;
  }

  const int64_t size =
      reply.patternSize >= 0 ? reply.patternSize : static_cast<int64_t>(reply.body.size());
  int status = reply.status;
  int64_t first = 0;
  int64_t count = size;
  std::string extra;
  int64_t rangeFirst = 0;
  int64_t rangeLast = 0;
  if (status == 200 && reply.honorRange &&
      ParseRange(HeaderIn(head, "Range"), &rangeFirst, &rangeLast)) {
    if (rangeFirst >= size) {
      status = 416;
      count = 0;
      extra = "Content-Range: bytes */" + std::to_string(size) + "\r\n";
    } else {
      status = 206;
      first = rangeFirst;
      count = std::min(rangeLast, size - 1) - first + 1;
      extra = "Content-Range: bytes " + std::to_string(first) + "-" +
              std::to_string(first + count - 1) + "/" + std::to_string(size) + "\r\n";
    }
  }
  const int64_t announced = reply.contentLength >= 0 ? reply.contentLength : count;
  const std::string length =
      reply.announceLength ? "Content-Length: " + std::to_string(announced) + "\r\n" : "";
  const std::string header = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n" +
                             length + (reply.announceClose ? "Connection: close\r\n" : "") + extra +
                             reply.headers + "\r\n";
  if (!SendAll(connection, header.data(), header.size())) return;

  int64_t limit = count;
  if (reply.closeAfter >= 0) limit = std::min(limit, reply.closeAfter);
  if (reply.stallAfter >= 0) limit = std::min(limit, reply.stallAfter);
  // A paced reply sends a slice every kSliceMs.
  const int64_t slice = reply.bytesPerSecond > 0
                            ? std::max<int64_t>(1, reply.bytesPerSecond * kSliceMs / 1000)
                            : static_cast<int64_t>(kChunkBytes);
  std::string chunk;
  for (int64_t done = 0; done < limit;) {
    const auto n = static_cast<size_t>(std::min(slice, limit - done));
    if (reply.patternSize >= 0) {
      chunk = PatternBytes(first + done, n);
    } else {
      chunk.assign(reply.body, static_cast<size_t>(first + done), n);
    }
    if (!SendAll(connection, chunk.data(), chunk.size())) return;
    done += static_cast<int64_t>(n);
    bodyBytesSent_.fetch_add(static_cast<int64_t>(n));
    if (reply.bytesPerSecond > 0) std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
  }
  if (reply.stallAfter >= 0 && reply.stallAfter < count) HoldUntilClosed(connection, reply.holdMs);
}

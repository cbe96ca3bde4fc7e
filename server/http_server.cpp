#include "server/http_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <queue>
#include <set>
#include <thread>
#include <vector>

#include "server/rate_pacer.h"
#include "server/report_limiter.h"
#include "server/request_gate.h"
#include "server/store_queue.h"

namespace {

using Clock = std::chrono::steady_clock;

// Publisher's reads waiting at once; more get 503. One store thread runs
// them: the summary source takes one call at a time anyway.
constexpr size_t kReadsWaiting = 64;

// What the engine keeps per connection, from accept to close. The fields
// marked "lock" are shared with the watchdog thread.
struct Connection {
  explicit Connection(size_t lineCap) : gate(lineCap) {}
  MHD_Connection* handle = nullptr;
  RequestGate gate;      // checks the bytes before the engine parses them
  int requestIndex = 0;  // requests begun on this connection, from 1
  int fd = -1;
  std::string client;
  std::string local;               // the server's own address:port on this connection
  int refusal = 0;                 // 503 or 429 for a connection over a limit
  std::string uri;                 // the request line's target as sent
  std::string method;              // for the request log
  int status = 0;                  // for the request log; not 0 once answered
  bool headerSeen = false;         // the request's first call has been made
  HttpRequest request;             // filled at that first call
  bool inRequest = false;          // lock: a whole header has come in
  bool answeredOnce = false;       // lock: waiting for a further request
  bool timedOut = false;           // lock: the watchdog has closed it
  Clock::time_point waitingSince;  // lock: since when a header is awaited
  bool deferred = false;           // the request's store work was queued; suspended meanwhile
  std::mutex replyLock;            // hands the store's answer over from another thread
  bool replyReady = false;         // replyLock
  HttpReply storeReply;            // replyLock
};

std::string Printable(const std::string& text, size_t cap) {
  std::string out;
  for (char c : text) {
    if (out.size() >= cap) {
      out += "...";
      break;
    }
    const auto byte = static_cast<unsigned char>(c);
    out.push_back(byte < 0x20 || byte >= 0x7F ? '?' : c);
  }
  return out;
}

std::string ClientAddress(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "?";
  if (address == nullptr) return text;
  if (address->sa_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
  } else if (address->sa_family == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
              sizeof text);
  }
  return text;
}

// host:port of the server's end of a connection ([addr]:port for IPv6).
std::string LocalAddress(int fd) {
  sockaddr_storage local{};
  socklen_t length = sizeof local;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return {};
  const auto* address = reinterpret_cast<const sockaddr*>(&local);
  if (local.ss_family == AF_INET) {
    return ClientAddress(address) + ":" +
           std::to_string(ntohs(reinterpret_cast<const sockaddr_in*>(&local)->sin_port));
  }
  if (local.ss_family == AF_INET6) {
    return "[" + ClientAddress(address) +
           "]:" + std::to_string(ntohs(reinterpret_cast<const sockaddr_in6*>(&local)->sin6_port));
  }
  return {};
}

struct HeaderTally {
  int count = 0;
  size_t bytes = 0;
};

MHD_Result TallyHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
  auto* tally = static_cast<HeaderTally*>(cls);
  ++tally->count;
  // "Name: value\r\n", as it came in.
  tally->bytes += std::strlen(key) + (value ? std::strlen(value) : 0) + 4;
  return MHD_YES;
}

}  // namespace

struct HttpServer::Engine {
  Engine(const ServerContext& c, const HttpSettings& l) : context(c), limits(l) {}

  const ServerContext& context;
  HttpSettings limits;
  int listenFd = -1;
  bool ipv6 = false;
  int port = -1;
  MHD_Daemon* daemon = nullptr;

  std::mutex connectionsLock;
  std::set<Connection*> connections;
  std::map<std::string, int> perClient;

  std::mutex watchLock;
  std::condition_variable watchWake;
  bool watchStop = false;
  std::thread watchdog;

  // Paced downloads wait suspended; the pacer thread resumes them.
  struct Wake {
    Clock::time_point at;
    MHD_Connection* handle;
    bool operator>(const Wake& other) const { return at > other.at; }
  };
  std::mutex paceLock;
  std::condition_variable paceWake;
  bool paceStop = false;
  std::priority_queue<Wake, std::vector<Wake>, std::greater<Wake>> wakes;
  std::thread pacer;

  // Event-store work runs here, never on the engine's threads: the events'
  // own, and the publisher's slower reads (HttpReply::StoreLane).
  std::unique_ptr<StoreQueue> store;
  std::unique_ptr<StoreQueue> reads;
  std::unique_ptr<ReportLimiter> reports;
  std::mutex deferredLock;
  std::condition_variable deferredDone;
  int deferredAnswers = 0;  // requests that went to the store and are not answered yet

  void Watch();
  void Pace();
  // Suspends handle until at; false when the server is stopping.
  bool SuspendUntil(MHD_Connection* handle, Clock::time_point at);
  StoreQueue& Lane(HttpReply::StoreLane lane) {
    return lane == HttpReply::StoreLane::kReads ? *reads : *store;
  }
};

namespace {

using Engine = HttpServer::Engine;

Connection* ConnectionOf(MHD_Connection* handle) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(handle, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  return info ? static_cast<Connection*>(info->socket_context) : nullptr;
}

void NotifyConnection(void* cls, MHD_Connection* handle, void** socketContext,
                      MHD_ConnectionNotificationCode code) {
  auto* engine = static_cast<Engine*>(cls);
  if (code == MHD_CONNECTION_NOTIFY_STARTED) {
    const HttpSettings& l = engine->limits;
    auto* connection = new Connection(static_cast<size_t>(l.maxHeaderBytes + l.maxUriBytes + 1024));
    connection->handle = handle;
    if (const auto* info = MHD_get_connection_info(handle, MHD_CONNECTION_INFO_CONNECTION_FD)) {
      connection->fd = info->connect_fd;
      // Before the engine reads from it.
      request_gates::Set(connection->fd, &connection->gate);
    }
    if (connection->fd >= 0) connection->local = LocalAddress(connection->fd);
    if (const auto* info = MHD_get_connection_info(handle, MHD_CONNECTION_INFO_CLIENT_ADDRESS)) {
      connection->client = ClientAddress(info->client_addr);
    }
    connection->waitingSince = Clock::now();
    std::lock_guard<std::mutex> guard(engine->connectionsLock);
    engine->connections.insert(connection);
    const int fromClient = ++engine->perClient[connection->client];
    if (static_cast<int>(engine->connections.size()) > engine->limits.maxConnections) {
      connection->refusal = 503;
    } else if (fromClient > engine->limits.maxConnectionsPerClient) {
      connection->refusal = 429;
    }
    *socketContext = connection;
    return;
  }
  auto* connection = static_cast<Connection*>(*socketContext);
  if (connection == nullptr) return;
  request_gates::Set(connection->fd, nullptr);  // before the socket is closed
  {
    // Under the lock, so the watchdog never touches a descriptor that is
    // about to be closed and reused.
    std::lock_guard<std::mutex> guard(engine->connectionsLock);
    engine->connections.erase(connection);
    const auto found = engine->perClient.find(connection->client);
    if (found != engine->perClient.end() && --found->second <= 0) engine->perClient.erase(found);
  }
  *socketContext = nullptr;
  delete connection;
}

void* LogUri(void*, const char* uri, MHD_Connection* handle) {
  Connection* connection = ConnectionOf(handle);
  if (connection != nullptr) connection->uri = uri ? uri : "";
  return connection;
}

void RequestCompleted(void* cls, MHD_Connection*, void** requestContext,
                      MHD_RequestTerminationCode) {
  auto* engine = static_cast<Engine*>(cls);
  auto* connection = static_cast<Connection*>(*requestContext);
  if (connection == nullptr) return;
  if (connection->status != 0 && engine->limits.requestLog) {
    const std::string line =
        UtcTimestamp() + " " + connection->client + " \"" + Printable(connection->method, 16) +
        " " + Printable(connection->uri, 512) + "\" " + std::to_string(connection->status) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
  }
  connection->status = 0;
  connection->headerSeen = false;
  if (connection->deferred) {
    connection->deferred = false;
    std::lock_guard<std::mutex> guard(engine->deferredLock);
    --engine->deferredAnswers;
    engine->deferredDone.notify_all();
  }
  std::lock_guard<std::mutex> guard(engine->connectionsLock);
  connection->inRequest = false;
  connection->answeredOnce = true;
  connection->waitingSince = Clock::now();
}

// A part file sent at a limited rate: read in slices, the connection
// suspended between them.
struct PacedFile {
  Engine* engine;
  MHD_Connection* handle;
  int fd;
  int64_t offset;
  RatePacer pacer;
};

ssize_t ReadPaced(void* cls, uint64_t position, char* buffer, size_t max) {
  auto* file = static_cast<PacedFile*>(cls);
  const auto now = Clock::now();
  const size_t allowed = file->pacer.Allowance(now, max);
  if (allowed == 0) {
    if (!file->engine->SuspendUntil(file->handle, now + file->pacer.Wait(now))) {
      return MHD_CONTENT_READER_END_WITH_ERROR;
    }
    return 0;
  }
  const ssize_t got = pread(file->fd, buffer, allowed, static_cast<off_t>(file->offset + position));
  // A file cut short under us: drop the connection rather than send less
  // than the announced length.
  if (got <= 0) return MHD_CONTENT_READER_END_WITH_ERROR;
  file->pacer.Sent(static_cast<size_t>(got));
  return got;
}

void FreePaced(void* cls) {
  auto* file = static_cast<PacedFile*>(cls);
  close(file->fd);
  delete file;
}

// A body made piece by piece while it is sent (chunked). Each piece is made
// on the store threads of its lane, the connection suspended meanwhile, since
// making it reads the database.
struct StreamedBody {
  // Shared with the store job making the next piece, which may outlive the
  // connection (a piece late past its deadline).
  struct Fetch {
    std::function<bool(std::string&)> next;
    std::mutex lock;
    bool arrived = false;  // lock: piece holds the next piece
    bool failed = false;   // lock: it could not be made
    std::string piece;     // lock
  };
  Engine* engine;
  MHD_Connection* handle;
  HttpReply::StoreLane lane;
  std::shared_ptr<Fetch> fetch;
  bool fetching = false;  // a piece is being made
  std::string pending;
  size_t sent = 0;
};

ssize_t ReadStreamed(void* cls, uint64_t, char* buffer, size_t max) {
  auto* body = static_cast<StreamedBody*>(cls);
  if (body->sent == body->pending.size()) {
    StreamedBody::Fetch& fetch = *body->fetch;
    std::unique_lock<std::mutex> guard(fetch.lock);
    if (!fetch.arrived) {
      guard.unlock();
      if (body->fetching) return 0;  // not resumed yet
      body->fetching = true;
      // Suspended before the work is queued, so it is never resumed first.
      MHD_suspend_connection(body->handle);
      auto shared = body->fetch;
      MHD_Connection* handle = body->handle;
      auto work = [shared]() {
        HttpReply made;
        made.status = shared->next(made.body) ? 200 : 500;
        return made;
      };
      auto deliver = [shared, handle](HttpReply made) {
        {
          std::lock_guard<std::mutex> done(shared->lock);
          shared->failed = made.status != 200;  // 503: not made in time, or stopping
          shared->piece = std::move(made.body);
          shared->arrived = true;
        }
        MHD_resume_connection(handle);
      };
      if (!body->engine->Lane(body->lane).Submit(std::move(work), deliver)) {
        deliver(StoreQueue::Busy("the event store is overloaded"));
      }
      return 0;
    }
    fetch.arrived = false;
    body->fetching = false;
    if (fetch.failed) return MHD_CONTENT_READER_END_WITH_ERROR;
    body->pending = std::move(fetch.piece);
    fetch.piece.clear();
    body->sent = 0;
    if (body->pending.empty()) return MHD_CONTENT_READER_END_OF_STREAM;
  }
  const size_t count = std::min(max, body->pending.size() - body->sent);
  std::memcpy(buffer, body->pending.data() + body->sent, count);
  body->sent += count;
  return static_cast<ssize_t>(count);
}

void FreeStreamed(void* cls) { delete static_cast<StreamedBody*>(cls); }

MHD_Response* MakeResponse(Engine* engine, MHD_Connection* handle, HttpReply& reply) {
  MHD_Response* response = nullptr;
  if (reply.stream) {
    auto* body = new StreamedBody{
        engine, handle, reply.storeLane, std::make_shared<StreamedBody::Fetch>(), false, {}, 0};
    body->fetch->next = std::move(reply.stream);
    response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 64 * 1024, ReadStreamed, body,
                                                 FreeStreamed);
    if (response == nullptr) FreeStreamed(body);
  } else if (reply.fileFd < 0) {
    response = MHD_create_response_from_buffer(reply.body.size(), reply.body.data(),
                                               MHD_RESPMEM_MUST_COPY);
  } else if (engine->limits.rateLimit <= 0) {
    // Sent by the kernel (sendfile) from the offset; the response closes
    // the descriptor.
    response = MHD_create_response_from_fd_at_offset64(static_cast<uint64_t>(reply.fileLength),
                                                       reply.fileFd,
                                                       static_cast<uint64_t>(reply.fileOffset));
    if (response == nullptr) close(reply.fileFd);
  } else {
    auto* file = new PacedFile{engine, handle, reply.fileFd, reply.fileOffset,
                               RatePacer(engine->limits.rateLimit, Clock::now())};
    response = MHD_create_response_from_callback(static_cast<uint64_t>(reply.fileLength), 64 * 1024,
                                                 ReadPaced, file, FreePaced);
    if (response == nullptr) FreePaced(file);
  }
  reply.fileFd = -1;
  if (response == nullptr) return nullptr;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.contentType.c_str());
  for (const auto& [name, value] : reply.headers) {
    MHD_add_response_header(response, name.c_str(), value.c_str());
  }
  return response;
}

MHD_Result Answer(Engine* engine, MHD_Connection* handle, Connection* connection, HttpReply reply) {
  MHD_Response* response = MakeResponse(engine, handle, reply);
  if (response == nullptr) return MHD_NO;
  connection->status = reply.status;
  const MHD_Result queued =
      MHD_queue_response(handle, static_cast<unsigned int>(reply.status), response);
  MHD_destroy_response(response);
  return queued;
}

// Hands the request's store work to the store threads and suspends the
// connection until its answer is in; the engine's thread goes on with other
// connections meanwhile.
MHD_Result Defer(Engine* engine, MHD_Connection* handle, Connection* connection,
                 HttpReply::StoreLane lane, std::function<HttpReply()> work) {
  connection->deferred = true;
  {
    std::lock_guard<std::mutex> guard(engine->deferredLock);
    ++engine->deferredAnswers;
  }
  auto deliver = [handle, connection](HttpReply reply) {
    {
      std::lock_guard<std::mutex> guard(connection->replyLock);
      connection->storeReply = std::move(reply);
      connection->replyReady = true;
    }
    // The connection may be answered and closed as soon as this returns.
    MHD_resume_connection(handle);
  };
  // Suspended before the work is queued, so it is never resumed first.
  MHD_suspend_connection(handle);
  if (!engine->Lane(lane).Submit(std::move(work), deliver)) {
    deliver(StoreQueue::Busy("the event store is overloaded"));
  }
  return MHD_YES;
}

// Called once when the header is in, then with each piece of a body, then
// once more at the end of the request. Refusals go out at the first call,
// which makes the engine close the connection after them; answers go out
// at the last, which keeps the connection for the next request.
MHD_Result HandleRequest(void* cls, MHD_Connection* handle, const char*, const char* method,
                         const char*, const char*, size_t* uploadSize, void** requestContext) {
  auto* engine = static_cast<Engine*>(cls);
  auto* connection = static_cast<Connection*>(*requestContext);
  if (connection == nullptr) return MHD_NO;
  if (connection->status != 0) return MHD_YES;  // refused; the rest of a body is dropped
  if (connection->headerSeen) {
    if (*uploadSize != 0) {
      *uploadSize = 0;  // a body nothing here reads
      return MHD_YES;
    }
    if (connection->deferred) {
      // Resumed: the store work has its answer.
      HttpReply reply;
      {
        std::lock_guard<std::mutex> guard(connection->replyLock);
        if (!connection->replyReady) return MHD_YES;
        connection->replyReady = false;
        reply = std::move(connection->storeReply);
      }
      return Answer(engine, handle, connection, std::move(reply));
    }
    HttpReply reply = Route(engine->context, connection->request);
    if (reply.storeWork) {
      int retryAfter = 0;
      if (reply.storeLane == HttpReply::StoreLane::kEvents &&
          !engine->reports->Take(connection->client, retryAfter)) {
        HttpReply refused = TextReply(429, "too many reports from your address; try again later");
        refused.headers.emplace_back("Retry-After", std::to_string(retryAfter));
        return Answer(engine, handle, connection, std::move(refused));
      }
      return Defer(engine, handle, connection, reply.storeLane, std::move(reply.storeWork));
    }
    return Answer(engine, handle, connection, std::move(reply));
  }
  connection->headerSeen = true;
  {
    std::lock_guard<std::mutex> guard(engine->connectionsLock);
    if (connection->timedOut) return MHD_NO;
    connection->inRequest = true;
  }
  connection->method = method ? method : "";
  const HttpSettings& limits = engine->limits;

  if (connection->refusal != 0) {
    HttpReply reply = TextReply(connection->refusal, connection->refusal == 503
                                                         ? "too many connections; try again"
                                                         : "too many connections from your "
                                                           "address; try again");
    reply.headers.emplace_back("Retry-After", "1");
    reply.headers.emplace_back("Connection", "close");
    return Answer(engine, handle, connection, std::move(reply));
  }
  ++connection->requestIndex;
  if (connection->gate.RefusedRequest() == connection->requestIndex) {
    // The framing gate cut the request at a fault; nothing after it came in.
    connection->uri = "<refused: " + connection->gate.Reason() + ">";
    HttpReply reply = TextReply(400, "bad request: " + connection->gate.Reason());
    reply.headers.emplace_back("Connection", "close");
    return Answer(engine, handle, connection, std::move(reply));
  }
  if (static_cast<int64_t>(connection->uri.size()) > limits.maxUriBytes) {
    return Answer(engine, handle, connection, TextReply(414, "request target too long"));
  }
  HeaderTally tally;
  MHD_get_connection_values(handle, MHD_HEADER_KIND, TallyHeader, &tally);
  if (tally.count > limits.maxHeaders ||
      static_cast<int64_t>(tally.bytes) > limits.maxHeaderBytes) {
    return Answer(engine, handle, connection, TextReply(431, "request header fields too large"));
  }
  // No route takes a body: one announced is refused before it is read, and
  // the connection is closed after the answer.
  const char* length =
      MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
  const bool body =
      MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING) !=
          nullptr ||
      (length != nullptr && std::string(length).find_first_not_of("0 \t") != std::string::npos);
  if (body) {
    HttpReply reply = TextReply(413, "request bodies are not accepted");
    reply.headers.emplace_back("Connection", "close");
    return Answer(engine, handle, connection, std::move(reply));
  }
  if (connection->method != "GET" && connection->method != "HEAD") {
    HttpReply reply = TextReply(405, "method not allowed");
    reply.headers.emplace_back("Allow", "GET, HEAD");
    return Answer(engine, handle, connection, std::move(reply));
  }

  HttpRequest& request = connection->request;
  request = HttpRequest();
  request.method = connection->method;
  const size_t mark = connection->uri.find('?');
  request.path = connection->uri.substr(0, mark);
  if (mark != std::string::npos) request.query = connection->uri.substr(mark + 1);
  const char* host = MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST);
  const char* range = MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_RANGE);
  request.host = host ? host : "";
  request.range = range ? range : "";
  const char* ifRange =
      MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_RANGE);
  request.ifRange = ifRange ? ifRange : "";
  request.client = connection->client;
  const char* authorization =
      MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
  request.authorization = authorization ? authorization : "";
  request.local = connection->local;
  return MHD_YES;
}

}  // namespace

bool Engine::SuspendUntil(MHD_Connection* handle, Clock::time_point at) {
  // Suspended and queued under one lock, so the pacer never resumes a
  // connection before it was suspended, and none is left suspended at stop.
  std::lock_guard<std::mutex> guard(paceLock);
  if (paceStop) return false;
  MHD_suspend_connection(handle);
  wakes.push({at, handle});
  paceWake.notify_one();
  return true;
}

void Engine::Pace() {
  std::unique_lock<std::mutex> guard(paceLock);
  while (!paceStop) {
    if (wakes.empty()) {
      paceWake.wait(guard);
      continue;
    }
    if (wakes.top().at > Clock::now()) {
      paceWake.wait_until(guard, wakes.top().at);
      continue;
    }
    MHD_resume_connection(wakes.top().handle);
    wakes.pop();
  }
  while (!wakes.empty()) {
    MHD_resume_connection(wakes.top().handle);
    wakes.pop();
  }
}

void Engine::Watch() {
  static const char k408[] =
      "HTTP/1.1 408 Request Timeout\r\n"
      "Content-Type: text/plain; charset=utf-8\r\n"
      "Content-Length: 25\r\n"
      "Connection: close\r\n"
      "\r\n"
      "request header timed out\n";
  const auto limit = std::chrono::seconds(limits.headerTimeoutSeconds);
  std::unique_lock<std::mutex> watching(watchLock);
  while (!watchStop) {
    watchWake.wait_for(watching, std::chrono::milliseconds(100));
    const auto now = Clock::now();
    std::lock_guard<std::mutex> guard(connectionsLock);
    for (Connection* connection : connections) {
      if (connection->inRequest || connection->timedOut || connection->fd < 0 ||
          now - connection->waitingSince < limit) {
        continue;
      }
      connection->timedOut = true;
      // While a header is awaited the engine only reads from the socket, so
      // this answer cannot mix with one of its own. An idle keep-alive
      // connection is just closed, as clients expect.
      if (!connection->answeredOnce) {
        [[maybe_unused]] const ssize_t sent =
            send(connection->fd, k408, sizeof k408 - 1, MSG_DONTWAIT | MSG_NOSIGNAL);
      }
      shutdown(connection->fd, SHUT_RDWR);
    }
  }
}

HttpServer::HttpServer(const ServerContext& context, const HttpSettings& limits)
    : engine_(std::make_unique<Engine>(context, limits)) {}

bool HttpServer::Listen(const std::string& address, int port, std::string& error) {
  Engine& e = *engine_;
  sockaddr_storage storage{};
  socklen_t length = 0;
  if (address.find(':') != std::string::npos) {
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) != 1) {
      error = "not a numeric address";
      return false;
    }
    length = sizeof *v6;
    e.ipv6 = true;
  } else {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    v4->sin_family = AF_INET;
    v4->sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) != 1) {
      error = "not a numeric address";
      return false;
    }
    length = sizeof *v4;
  }
  const int fd = socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 || listen(fd, 1024) != 0) {
    error = std::strerror(errno);
    close(fd);
    return false;
  }
  sockaddr_storage bound{};
  socklen_t boundLength = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength);
  e.port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                             : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  e.listenFd = fd;
  return true;
}

int HttpServer::Port() const { return engine_->port; }

bool HttpServer::Serve(std::string& error) {
  Engine& e = *engine_;
  if (e.listenFd < 0 || e.daemon != nullptr) {
    error = "not listening";
    return false;
  }
  unsigned int flags = MHD_USE_AUTO_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG;
  if (e.ipv6) flags |= MHD_USE_IPv6;
  const HttpSettings& l = e.limits;
  // The engine's own bounds sit above the ones answered here, so that a
  // client over a limit gets its status rather than a closed socket.
  const size_t memory = static_cast<size_t>(2 * (l.maxHeaderBytes + l.maxUriBytes) + 16384);
  const unsigned int hardConnections = static_cast<unsigned int>(l.maxConnections + kRefusalSlots);
  const unsigned int hardPerClient = static_cast<unsigned int>(l.maxConnectionsPerClient + 16);
  e.reports = std::make_unique<ReportLimiter>(l.reportRate, l.reportBurst);
  // Each connection has at most one request waiting for the store.
  e.store = std::make_unique<StoreQueue>(l.storeWorkers, static_cast<size_t>(l.maxConnections) + 64,
                                         std::chrono::milliseconds(l.storeTimeoutMs));
  e.reads =
      std::make_unique<StoreQueue>(1, kReadsWaiting, std::chrono::milliseconds(l.readTimeoutMs));
  // Strict framing is the gate's (request_gate.h), not the engine's: its
  // MHD_OPTION_STRICT_FOR_CLIENT checks only Host and blanks in names, and
  // its own 400 goes out twice on the connection.
  // Room in the gate table for every descriptor the process may open.
  rlimit descriptors{};
  if (getrlimit(RLIMIT_NOFILE, &descriptors) == 0) {
    const rlim_t most = descriptors.rlim_cur > (1u << 22) ? (1u << 22) : descriptors.rlim_cur;
    request_gates::Reserve(static_cast<int>(most));
  }
  e.daemon = MHD_start_daemon(
      flags, 0, nullptr, nullptr, HandleRequest, &e, MHD_OPTION_LISTEN_SOCKET, e.listenFd,
      MHD_OPTION_THREAD_POOL_SIZE, static_cast<unsigned int>(l.threads),
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, memory, MHD_OPTION_CONNECTION_LIMIT, hardConnections,
      MHD_OPTION_PER_IP_CONNECTION_LIMIT, hardPerClient, MHD_OPTION_CONNECTION_TIMEOUT,
      static_cast<unsigned int>(l.idleTimeoutSeconds), MHD_OPTION_NOTIFY_CONNECTION,
      NotifyConnection, &e, MHD_OPTION_URI_LOG_CALLBACK, LogUri, &e, MHD_OPTION_NOTIFY_COMPLETED,
      RequestCompleted, &e, MHD_OPTION_END);
  if (e.daemon == nullptr) {
    error = "the HTTP engine did not start";
    return false;
  }
  e.watchdog = std::thread([&e] { e.Watch(); });
  e.pacer = std::thread([&e] { e.Pace(); });
  return true;
}

void HttpServer::Stop() {
  Engine& e = *engine_;
  if (e.daemon == nullptr) return;
  const MHD_socket listening = MHD_quiesce_daemon(e.daemon);
  {
    std::lock_guard<std::mutex> guard(e.watchLock);
    e.watchStop = true;
  }
  e.watchWake.notify_all();
  e.watchdog.join();
  {
    // Every paced connection is resumed: none may stay suspended at stop.
    std::lock_guard<std::mutex> guard(e.paceLock);
    e.paceStop = true;
  }
  e.paceWake.notify_all();
  e.pacer.join();
  // Requests waiting for the store get 503 and a hung call returns; their
  // answers go out before the connections close (briefly bounded).
  e.store->FailAll();
  e.reads->FailAll();
  if (e.context.store != nullptr) e.context.store->Interrupt();
  if (e.context.dashboard != nullptr && e.context.dashboard->source != nullptr) {
    e.context.dashboard->source->Interrupt();
  }
  {
    std::unique_lock<std::mutex> guard(e.deferredLock);
    e.deferredDone.wait_for(guard, std::chrono::milliseconds(500),
                            [&e] { return e.deferredAnswers == 0; });
  }
  MHD_stop_daemon(e.daemon);
  e.store->Stop();
  e.reads->Stop();
  e.daemon = nullptr;
  // Quiescing handed the listening socket back to us.
  if (listening != MHD_INVALID_SOCKET) close(listening);
  e.listenFd = -1;
}

HttpServer::~HttpServer() {
  Stop();
  if (engine_->listenFd >= 0) close(engine_->listenFd);
}

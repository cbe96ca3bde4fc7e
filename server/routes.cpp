#include "server/routes.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "server/byte_range.h"
#include "server/comm_file.h"
#include "server/installer_files.h"
#include "server/pages.h"
#include "server/part_validators.h"
#include "server/query_validation.h"
#include "server/throttled_log.h"

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";

// Errors about parts, which would otherwise repeat with every request.
ThrottledLog& PartErrors() {
  static ThrottledLog log(stderr);
  return log;
}

// The store failed or gave up within its time bound: the client may try
// again, as after any 503.
HttpReply StoreFailure(const char* what) {
  HttpReply reply = TextReply(503, std::string(what) + "; try again");
  reply.headers.emplace_back("Retry-After", "1");
  return reply;
}

// False after filling a 400 reply when the query is not acceptable.
bool ReadStatsQuery(const HttpRequest& request, StatsFields fields, StatsQuery& query,
                    HttpReply& reply) {
  QueryPairs pairs;
  std::string error;
  if (ParseQuery(request.query, pairs, error) && ValidateStatsQuery(pairs, fields, query, error)) {
    return true;
  }
  reply = TextReply(400, "bad request: " + error);
  return false;
}

StatsEvent EventOf(const char* name, const StatsQuery& query) {
  StatsEvent event;
  event.event = name;
  event.mid = query.mid;
  event.game = query.game;
  event.distributor = query.distributor;
  return event;
}

// The installer with every digest, or false after filling a 503 reply: a
// download must not start from a directory that offers no sound installer.
bool ReadInstaller(const ServerContext& context, std::vector<InstallerPart>& parts,
                   HttpReply& reply) {
  std::string badName;
  switch (ListInstallerParts(context.partsDir, parts, badName)) {
    case PartsListing::kUnreadable:
      reply = TextReply(503, "the installer parts cannot be read");
      return false;
    case PartsListing::kBadName:
      reply = TextReply(503, "the parts directory holds a file whose name is not portable");
      return false;
    case PartsListing::kOk:
      break;
  }
  if (parts.empty()) {
    reply = TextReply(503, "no installer parts are available");
    return false;
  }
  // A part that cannot be opened would be announced with a URL that fails:
  // refused as a directory that cannot be read is, and named in the log.
  for (const auto& part : parts) {
    PartFile file;
    errno = 0;
    if (file.Open(context.partsDir, part.name)) continue;
    const int error = errno;
    if (error == EMFILE || error == ENFILE) {
      reply = TextReply(503, "the server is busy; try again");
    } else {
      PartErrors().Report("cannot read part " + part.name + ": " +
                          (error != 0 ? std::strerror(error) : "not a regular file"));
      reply = TextReply(503, "the installer part " + part.name + " cannot be read");
    }
    reply.headers.emplace_back("Retry-After", "1");
    return false;
  }
  for (auto& part : parts) {
    if (!context.digests->Digest(context.partsDir, part, part.sha256)) {
      reply = TextReply(503, "the installer parts are changing; try again");
      return false;
    }
  }
  return true;
}

// The communication file's answer, with its signature when the server signs
// them; 500 when it cannot be signed.
HttpReply CommFileReply(const ServerContext& context, std::string body) {
  std::string signature;
  if (context.signer != nullptr) {
    signature = context.signer->Sign(body);
    if (signature.empty()) return TextReply(500, "could not sign the communication file");
  }
  HttpReply answer = BodyReply(200, "application/json", std::move(body));
  if (!signature.empty()) answer.headers.emplace_back(kSignatureHeader, std::move(signature));
  return answer;
}

HttpReply AnswerCommFile(const ServerContext& context, const HttpRequest& request, bool resume) {
  HttpReply reply;
  StatsQuery query;
  std::vector<InstallerPart> parts;
  if (!ReadStatsQuery(request, StatsFields::kMachine, query, reply) ||
      !ReadInstaller(context, parts, reply)) {
    return reply;
  }
  // The server's own address, never the client's Host: what one client sends
  // must not change what others are told (a cache may keep the answer).
  const std::string base =
      context.partsBaseUrl.empty()
          ? "http://" + (request.local.empty() ? context.fallbackHost : request.local) + "/parts/"
          : context.partsBaseUrl;
  const bool head = request.Head();
  if (!resume && head) {
    std::string body = BuildCommFile(parts, 0, base);
    if (body.empty()) return TextReply(500, "could not build the communication file");
    return CommFileReply(context, std::move(body));
  }
  // The store's part of the answer runs off the serving threads.
  reply.storeWork = [&context, resume, head, query = std::move(query), parts = std::move(parts),
                     base]() {
    int64_t part = 0;
    if (resume &&
        !context.store->LastReportedPart(query.mid, query.game, query.distributor, part)) {
      return StoreFailure("could not read the event store");
    }
    const int32_t answered = ClampPartIndex(part, parts.size());
    std::string body = BuildCommFile(parts, answered, base);
    if (body.empty()) return TextReply(500, "could not build the communication file");
    // Signed before the event is stored: a file that cannot be signed is
    // never answered, so nothing is recorded for it.
    HttpReply answer = CommFileReply(context, std::move(body));
    if (answer.status != 200) return answer;
    if (!head) {
      StatsEvent event = EventOf(resume ? "resume" : "start", query);
      if (resume) event.currentPart = answered;
      if (!context.store->Record(event)) return StoreFailure("could not record the event");
    }
    return answer;
  };
  return reply;
}

HttpReply AnswerReport(const ServerContext& context, const HttpRequest& request, const char* name,
                       StatsFields fields) {
  HttpReply reply;
  StatsQuery query;
  if (!ReadStatsQuery(request, fields, query, reply)) return reply;
  if (request.Head()) return TextReply(200, "OK");
  StatsEvent event = EventOf(name, query);
  event.bytes = query.bytes;
  if (fields == StatsFields::kMachineBytesPart) event.currentPart = query.currentPart;
  reply.storeWork = [&context, event = std::move(event)]() {
    if (!context.store->Record(event)) return StoreFailure("could not record the event");
    return TextReply(200, "OK");
  };
  return reply;
}

HttpReply AnswerPart(const ServerContext& context, const HttpRequest& request,
                     const std::string& encodedName) {
  std::string name;
  if (!PercentDecode(encodedName, name) || !IsPortableFileName(name)) {
    return TextReply(403, "forbidden: only files of the parts directory are served");
  }
  PartFile file;
  errno = 0;
  if (!file.Open(context.partsDir, name)) {
    // Out of descriptors is not "no such part".
    if (errno == EMFILE || errno == ENFILE) {
      HttpReply reply = TextReply(503, "the server is busy; try again");
      reply.headers.emplace_back("Retry-After", "1");
      return reply;
    }
    return TextReply(404, "not found");
  }
  const int64_t size = file.Size();
  const std::string etag = PartEntityTag(file);
  const std::string lastModified = HttpDate(file.ModifiedNs() / 1000000000);
  // A range of another version of the part would be spliced into the
  // client's copy: on an If-Range mismatch the whole part goes out.
  const ByteRange range = IfRangeAllowsRange(request.ifRange, etag, lastModified)
                              ? ResolveRange(request.range, size)
                              : ByteRange{};
  if (range.kind == RangeKind::kUnsatisfiable) {
    HttpReply reply = TextReply(416, "range not satisfiable");
    reply.headers.emplace_back("Accept-Ranges", "bytes");
    reply.headers.emplace_back("Content-Range", "bytes */" + std::to_string(size));
    return reply;
  }
  HttpReply reply;
  reply.status = 200;
  reply.contentType = "application/octet-stream";
  reply.headers.emplace_back("Accept-Ranges", "bytes");
  reply.headers.emplace_back("ETag", etag);
  reply.headers.emplace_back("Last-Modified", lastModified);
  reply.fileOffset = 0;
  reply.fileLength = size;
  if (range.kind == RangeKind::kPart) {
    reply.status = 206;
    reply.fileOffset = range.first;
    reply.fileLength = range.length;
    reply.headers.emplace_back("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                                    std::to_string(range.first + range.length - 1) +
                                                    "/" + std::to_string(size));
  }
  reply.fileFd = file.Release();
  return reply;
}

}  // namespace

HttpReply BodyReply(int status, const char* contentType, std::string body) {
  HttpReply reply;
  reply.status = status;
  reply.contentType = contentType;
  reply.body = std::move(body);
  return reply;
}

HttpReply TextReply(int status, const std::string& text) {
  HttpReply reply;
  reply.status = status;
  reply.body = text + "\n";
  return reply;
}

HttpReply Route(const ServerContext& context, const HttpRequest& request) {
  const std::string& path = request.path;
  if (context.dashboard != nullptr && IsDashboardPath(path)) {
    return AnswerDashboard(*context.dashboard, request);
  }
  if (path == "/start") return AnswerCommFile(context, request, false);
  if (path == "/resume") return AnswerCommFile(context, request, true);
  if (path == "/pause") {
    return AnswerReport(context, request, "pause", StatsFields::kMachineBytesPart);
  }
  if (path == "/update") {
    return AnswerReport(context, request, "update", StatsFields::kMachineBytesPart);
  }
  if (path == "/finish")
    return AnswerReport(context, request, "finish", StatsFields::kMachineBytes);
  static const std::string kParts = "/parts/";
  if (path.rfind(kParts, 0) == 0 && context.partsBaseUrl.empty()) {
    return AnswerPart(context, request, path.substr(kParts.size()));
  }
  static const std::string kPage = "/tovi/parte";
  if (path.size() == kPage.size() + 1 && path.rfind(kPage, 0) == 0 && path.back() >= '1' &&
      path.back() <= '4') {
    return BodyReply(200, kHtml, InstallerPage(path.back() - '0'));
  }
  if (path == "/polvex_tovi") return BodyReply(200, kHtml, ForumPage());
  return TextReply(404, "not found");
}

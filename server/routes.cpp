#include "server/routes.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "server/byte_range.h"
#include "server/comm_file.h"
#include "server/installer_files.h"
#include "server/pages.h"
#include "server/query_validation.h"
#include "server/rate_pacer.h"

namespace {

constexpr const char* kPlainText = "text/plain; charset=utf-8";
constexpr size_t kReadChunk = 64 * 1024;
constexpr auto kLongestPace = std::chrono::milliseconds(50);

// Every answer goes out through a provider without a length, with the
// length set by hand: the library would otherwise cut any body to the
// request's Range header, the error texts included, and it does not bound a
// range by the file's size. Only part files honour ranges, resolved here.
void SendBody(httplib::Response& res, int status, const char* contentType, std::string body) {
  auto text = std::make_shared<std::string>(std::move(body));
  res.status = status;
  res.set_header("Content-Length", std::to_string(text->size()));
  res.set_content_provider(contentType, [text](size_t, httplib::DataSink& sink) {
    if (!text->empty() && !sink.write(text->data(), text->size())) return false;
    sink.done();
    return true;
  });
}

void SendText(httplib::Response& res, int status, const std::string& text) {
  SendBody(res, status, kPlainText, text + "\n");
}

std::string RawQuery(const httplib::Request& req) {
  const size_t mark = req.target.find('?');
  return mark == std::string::npos ? std::string() : req.target.substr(mark + 1);
}

// False after answering 400 when the query is not acceptable.
bool ReadStatsQuery(const httplib::Request& req, httplib::Response& res, StatsFields fields,
                    StatsQuery& query) {
  QueryPairs pairs;
  std::string error;
  if (ParseQuery(RawQuery(req), pairs, error) && ValidateStatsQuery(pairs, fields, query, error)) {
    return true;
  }
  SendText(res, 400, "bad request: " + error);
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

void AnswerCommFile(const ServerContext& context, const httplib::Request& req,
                    httplib::Response& res, bool resume) {
  StatsQuery query;
  if (!ReadStatsQuery(req, res, StatsFields::kMachine, query)) return;
  std::vector<InstallerPart> parts = ListInstallerParts(context.partsDir);
  for (auto& part : parts) {
    if (!context.digests->Digest(context.partsDir, part, part.sha256)) {
      SendText(res, 503, "the installer parts are changing; try again");
      return;
    }
  }
  int64_t part = 0;
  if (resume && !context.store->LastReportedPart(query.mid, query.game, query.distributor, part)) {
    SendText(res, 500, "could not read the event store");
    return;
  }
  const int32_t answered = ClampPartIndex(part, parts.size());
  const std::string body = BuildCommFile(
      parts, answered, HostForUrls(req.get_header_value("Host"), context.fallbackHost));
  StatsEvent event = EventOf(resume ? "resume" : "start", query);
  if (resume) event.currentPart = answered;
  if (body.empty()) {
    SendText(res, 500, "could not build the communication file");
    return;
  }
  if (!context.store->Record(event)) {
    SendText(res, 500, "could not record the event");
    return;
  }
  SendBody(res, 200, "application/json", body);
}

void AnswerReport(const ServerContext& context, const httplib::Request& req, httplib::Response& res,
                  const char* name, StatsFields fields) {
  StatsQuery query;
  if (!ReadStatsQuery(req, res, fields, query)) return;
  StatsEvent event = EventOf(name, query);
  event.bytes = query.bytes;
  if (fields == StatsFields::kMachineBytesPart) event.currentPart = query.currentPart;
  if (!context.store->Record(event)) {
    SendText(res, 500, "could not record the event");
    return;
  }
  SendText(res, 200, "OK");
}

struct PartStream {
  explicit PartStream(int64_t rateLimit) : pacer(rateLimit, RatePacer::Clock::now()) {}
  PartFile file;
  int64_t offset = 0;
  int64_t remaining = 0;
  std::vector<char> buffer;
  RatePacer pacer;
};

void AnswerPart(const ServerContext& context, const httplib::Request& req, httplib::Response& res) {
  const std::string name = req.matches[1];
  if (!IsPlainFileName(name)) {
    SendText(res, 403, "forbidden: only files of the parts directory are served");
    return;
  }
  auto stream = std::make_shared<PartStream>(context.rateLimit);
  if (!stream->file.Open(context.partsDir, name)) {
    SendText(res, 404, "not found");
    return;
  }
  const int64_t size = stream->file.Size();
  const ByteRange range = ResolveRange(req.get_header_value("Range"), size);
  res.set_header("Accept-Ranges", "bytes");
  if (range.kind == RangeKind::kUnsatisfiable) {
    res.set_header("Content-Range", "bytes */" + std::to_string(size));
    SendText(res, 416, "range not satisfiable");
    return;
  }
  int status = 200;
  stream->remaining = size;
  if (range.kind == RangeKind::kPart) {
    status = 206;
    stream->offset = range.first;
    stream->remaining = range.length;
    res.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                        std::to_string(range.first + range.length - 1) + "/" +
                                        std::to_string(size));
  }
  res.status = status;
  res.set_header("Content-Length", std::to_string(stream->remaining));
  // Streamed in chunks: parts can be gigabytes.
  res.set_content_provider("application/octet-stream", [stream](size_t, httplib::DataSink& sink) {
    if (stream->remaining == 0) {
      sink.done();
      return true;
    }
    stream->buffer.resize(kReadChunk);
    size_t want = static_cast<size_t>(
        stream->remaining < static_cast<int64_t>(kReadChunk) ? stream->remaining : kReadChunk);
    // Paced: wait for the next slice in short sleeps, each a fresh look at
    // the clock, so that a stop is never held for long.
    for (size_t allowed = 0; stream->pacer.Limited();) {
      const auto now = RatePacer::Clock::now();
      allowed = stream->pacer.Allowance(now, want);
      if (allowed > 0) {
        want = allowed;
        break;
      }
      const auto wait = stream->pacer.Wait(now);
      std::this_thread::sleep_for(wait < kLongestPace ? wait : kLongestPace);
    }
    const int64_t got = stream->file.ReadAt(stream->offset, stream->buffer.data(), want);
    // A file cut short under us: drop the connection rather than send less
    // than the announced length.
    if (got <= 0) return false;
    if (!sink.write(stream->buffer.data(), static_cast<size_t>(got))) return false;
    stream->pacer.Sent(static_cast<size_t>(got));
    stream->offset += got;
    stream->remaining -= got;
    if (stream->remaining == 0) sink.done();
    return true;
  });
}

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

void LogRequest(const httplib::Request& req, const httplib::Response& res) {
  const std::string line = UtcTimestamp() + " " + req.remote_addr + " \"" +
                           Printable(req.method, 16) + " " + Printable(req.target, 512) + "\" " +
                           std::to_string(res.status) + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

std::string HostForUrls(const std::string& header, const std::string& fallback) {
  if (header.empty() || header.size() > 255) return fallback;
  for (char c : header) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
    if (!ok) return fallback;
  }
  return header;
}

void InstallRoutes(httplib::Server& server, const ServerContext& context) {
  const ServerContext* ctx = &context;
  server.Get("/start", [ctx](const httplib::Request& req, httplib::Response& res) {
    AnswerCommFile(*ctx, req, res, false);
  });
  server.Get("/resume", [ctx](const httplib::Request& req, httplib::Response& res) {
    AnswerCommFile(*ctx, req, res, true);
  });
  server.Get("/pause", [ctx](const httplib::Request& req, httplib::Response& res) {
    AnswerReport(*ctx, req, res, "pause", StatsFields::kMachineBytesPart);
  });
  server.Get("/update", [ctx](const httplib::Request& req, httplib::Response& res) {
    AnswerReport(*ctx, req, res, "update", StatsFields::kMachineBytesPart);
  });
  server.Get("/finish", [ctx](const httplib::Request& req, httplib::Response& res) {
    AnswerReport(*ctx, req, res, "finish", StatsFields::kMachineBytes);
  });
  server.Get(R"(/parts/([\s\S]*))", [ctx](const httplib::Request& req, httplib::Response& res) {
    AnswerPart(*ctx, req, res);
  });
  server.Get(R"(/tovi/parte([1-4]))", [](const httplib::Request& req, httplib::Response& res) {
    SendBody(res, 200, "text/html; charset=utf-8", InstallerPage(req.matches[1].str()[0] - '0'));
  });
  server.Get("/polvex_tovi", [](const httplib::Request&, httplib::Response& res) {
    SendBody(res, 200, "text/html; charset=utf-8", ForumPage());
  });
  // Last, so that every other GET path is an explicit 404.
  server.Get(R"([\s\S]*)", [](const httplib::Request&, httplib::Response& res) {
    SendText(res, 404, "not found");
  });
  server.set_logger(LogRequest);
}

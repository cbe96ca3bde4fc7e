#include "server/dashboard_routes.h"

#include <cstdio>

#include "server/csv_export.h"
#include "server/dashboard_page.h"
#include "server/query_validation.h"
#include "server/routes.h"
#include "server/summary_json.h"
#include "server/summary_period.h"

namespace {

// The figures and events are the publisher's business: never kept by a
// browser or a proxy, never framed or sniffed into something else.
HttpReply Private(HttpReply reply) {
  reply.headers.emplace_back("Cache-Control", "no-store");
  reply.headers.emplace_back("X-Content-Type-Options", "nosniff");
  reply.headers.emplace_back("Referrer-Policy", "no-referrer");
  reply.headers.emplace_back("X-Frame-Options", "DENY");
  return reply;
}

bool ReadLimit(const QueryPairs& pairs, int64_t& limit, std::string& error) {
  limit = 0;
  const auto found = pairs.find("limit");
  if (found == pairs.end()) return true;
  if (!ParseInt64Text(found->second, limit) || limit < 1 || limit > kMaxExportRows) {
    error = "limit must be a whole number from 1 to " + std::to_string(kMaxExportRows);
    return false;
  }
  return true;
}

// The summary of the period, as the page or as JSON.
HttpReply Figures(const DashboardContext& context, const std::string& path,
                  const SummaryPeriod& period, std::time_t now) {
  std::string error;
  DashboardSummary summary;
  if (!ReadSummary(*context.source, period, now, summary, error)) {
    std::fprintf(stderr, "tovi-server: the summary failed: %s\n", error.c_str());
    return TextReply(500, "could not read the event store");
  }
  if (path == "/api/summary") {
    return BodyReply(200, "application/json", SummaryJson(summary));
  }
  HttpReply page = BodyReply(200, "text/html; charset=utf-8", DashboardPage(summary));
  // Nothing on the page runs or loads from elsewhere.
  page.headers.emplace_back("Content-Security-Policy",
                            "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'");
  return page;
}

HttpReply Answer(const DashboardContext& context, const HttpRequest& request) {
  QueryPairs pairs;
  SummaryPeriod period;
  std::string error;
  const std::time_t now = context.now();
  if (!ParseQuery(request.query, pairs, error) || !ReadSummaryPeriod(pairs, now, period, error)) {
    return TextReply(400, "bad request: " + error);
  }
  if (request.path == "/api/events.csv") {
    int64_t limit = 0;
    if (!ReadLimit(pairs, limit, error)) return TextReply(400, "bad request: " + error);
    HttpReply reply = BodyReply(200, "text/csv; charset=utf-8", std::string());
    reply.headers.emplace_back("Content-Disposition", "attachment; filename=\"tovi-events-" +
                                                          period.from + "-" + period.to + ".csv\"");
    if (!request.Head()) reply.stream = EventsCsvStream(*context.source, period, limit);
    reply.storeLane = HttpReply::StoreLane::kReads;
    return reply;
  }
  // The figures are read on the publisher's store thread, not on the
  // threads that serve parts.
  HttpReply reply;
  reply.storeLane = HttpReply::StoreLane::kReads;
  reply.storeWork = [&context, path = request.path, period, now] {
    return Private(Figures(context, path, period, now));
  };
  return reply;
}

}  // namespace

bool IsDashboardPath(const std::string& path) {
  return path == "/dashboard" || path == "/api/summary" || path == "/api/events.csv";
}

HttpReply AnswerDashboard(const DashboardContext& context, const HttpRequest& request) {
  const auto clock = DashboardAccess::Clock::now();
  switch (context.access->Check(request.authorization, request.client, clock)) {
    case AccessVerdict::kLimited: {
      HttpReply reply =
          TextReply(429, "too many failed attempts from your address; try again later");
      reply.headers.emplace_back(
          "Retry-After", std::to_string(context.access->RetryAfterSeconds(request.client, clock)));
      return Private(std::move(reply));
    }
    case AccessVerdict::kDenied: {
      HttpReply reply = TextReply(401, "the dashboard needs its token");
      reply.headers.emplace_back("WWW-Authenticate",
                                 "Basic realm=\"tovi-server dashboard\", charset=\"UTF-8\"");
      return Private(std::move(reply));
    }
    case AccessVerdict::kAllowed:
      break;
  }
  return Private(Answer(context, request));
}

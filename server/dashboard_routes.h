// The publisher's view: GET /dashboard (the HTML page), /api/summary (its
// figures as JSON) and /api/events.csv (the raw events), all behind the
// dashboard token and never cached. Called by the routes on the HTTP worker
// threads, several at once; the token is checked there, while the database
// reads (the figures, each page of the export) go to the engine's store
// thread for the publisher's reads (HttpReply::StoreLane::kReads).
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "server/dashboard_access.h"
#include "server/http_exchange.h"
#include "server/summary_source.h"

struct DashboardContext {
  SummarySource* source = nullptr;
  DashboardAccess* access = nullptr;
  std::function<std::time_t()> now = [] { return std::time(nullptr); };
};

// True for the paths the dashboard answers.
bool IsDashboardPath(const std::string& path);

// The answer to a GET or HEAD of one of those paths.
HttpReply AnswerDashboard(const DashboardContext& context, const HttpRequest& request);

// The most rows one export may be asked for with limit.
inline constexpr int64_t kMaxExportRows = 100000000;

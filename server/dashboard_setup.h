// What the server holds for the dashboard while it runs: its token check
// and its own connection to the event store, set up from the command line.
#pragma once

#include <memory>
#include <string>

#include "server/dashboard_access.h"
#include "server/dashboard_routes.h"
#include "server/summary_source.h"

struct Dashboard {
  std::unique_ptr<SummarySource> source;
  std::unique_ptr<DashboardAccess> access;
  DashboardContext context;
};

// Reads the token file and opens the summary source on db (the first time,
// this fills the downloads table from the stored events, which takes a while
// on a large store; the time is logged). Null, with the reason in error,
// when either fails.
std::unique_ptr<Dashboard> OpenDashboard(const std::string& db, const std::string& tokenFile,
                                         std::string& error);

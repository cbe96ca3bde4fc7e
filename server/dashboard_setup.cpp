#include "server/dashboard_setup.h"

#include <chrono>
#include <cstdio>

std::unique_ptr<Dashboard> OpenDashboard(const std::string& db, const std::string& tokenFile,
                                         std::string& error) {
  std::string token;
  if (!ReadTokenFile(tokenFile, token, error)) return nullptr;
  auto dashboard = std::make_unique<Dashboard>();
  const auto start = std::chrono::steady_clock::now();
  dashboard->source = OpenSummarySource(db, error);
  if (!dashboard->source) return nullptr;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "tovi-server: dashboard ready (downloads table checked in %.1f s)\n",
               seconds);
  dashboard->access = std::make_unique<DashboardAccess>(std::move(token));
  dashboard->context.source = dashboard->source.get();
  dashboard->context.access = dashboard->access.get();
  return dashboard;
}

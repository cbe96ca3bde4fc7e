#include "server/summary_source.h"

#include "server/event_store.h"
#include "server/postgres_summary_source.h"
#include "server/sqlite_summary_source.h"
#include "server/summary_period.h"

std::unique_ptr<SummarySource> OpenSummarySource(const std::string& db, std::string& error) {
  if (IsPostgresConnectionString(db)) return OpenPostgresSummarySource(db, error);
  return OpenSqliteSummarySource(db, error);
}

bool ReadSummary(SummarySource& source, const SummaryPeriod& period, std::time_t now,
                 DashboardSummary& summary, std::string& error) {
  SummaryRows rows;
  if (!source.ReadRows(period, now, rows, error)) return false;
  summary = BuildSummary(period, rows, TimeText(now));
  return true;
}

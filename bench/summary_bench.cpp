// Fills a store with generated events and times the dashboard's summary of
// the last 30 days on it:
//
//   bench_summary --db FILE|CONNINFO [--events N] [--days D] [--end YYYY-MM-DD]
//                 [--runs R] [--seed S]
//
// With --events 0 it only times the summary of a store filled before. Prints
// the time of the load, of the first fill of the downloads table, and of each
// summary, with the figures of the last one.
#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/event_generator.h"
#include "server/event_store.h"
#include "server/summary_period.h"
#include "server/summary_source.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string TimeOf(int64_t ms) {
  std::string text = TimeText(static_cast<std::time_t>(ms / 1000));
  char millis[8];
  std::snprintf(millis, sizeof millis, "%03d", static_cast<int>(ms % 1000));
  return text.replace(20, 3, millis);
}

bool LoadSqlite(const std::string& path, const GeneratorSettings& settings, int64_t& count) {
  sqlite3* raw = nullptr;
  if (sqlite3_open(path.c_str(), &raw) != SQLITE_OK) return false;
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, sqlite3_close);
  sqlite3_exec(db.get(), "PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db.get(),
                         "INSERT INTO events (time, mid, game, distributor, event, bytes,"
                         " current_part) VALUES (?1, ?2, '29', '0', ?3, ?4, ?5)",
                         -1, &statement, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "%s\n", sqlite3_errmsg(db.get()));
    return false;
  }
  std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> owned(statement, sqlite3_finalize);
  const bool ok = GenerateEvents(settings, [&](const GeneratedEvent& e) {
    const std::string time = TimeOf(e.timeMs);
    sqlite3_reset(statement);
    sqlite3_bind_text(statement, 1, time.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 2, e.mid.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 3, e.event, -1, SQLITE_STATIC);
    e.bytes ? sqlite3_bind_int64(statement, 4, *e.bytes) : sqlite3_bind_null(statement, 4);
    e.currentPart ? sqlite3_bind_int(statement, 5, *e.currentPart)
                  : sqlite3_bind_null(statement, 5);
    ++count;
    return sqlite3_step(statement) == SQLITE_DONE;
  });
  return ok && sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool LoadPostgres(const std::string& conninfo, const GeneratorSettings& settings, int64_t& count) {
  std::unique_ptr<PGconn, decltype(&PQfinish)> c(PQconnectdb(conninfo.c_str()), PQfinish);
  if (PQstatus(c.get()) != CONNECTION_OK) return false;
  PQclear(PQexec(c.get(),
                 "COPY events (time, mid, game, distributor, event, bytes, current_part)"
                 " FROM STDIN"));
  std::string buffer;
  auto flush = [&] {
    const bool sent = PQputCopyData(c.get(), buffer.data(), static_cast<int>(buffer.size())) == 1;
    buffer.clear();
    return sent;
  };
  const bool ok = GenerateEvents(settings, [&](const GeneratedEvent& e) {
    static const char kHex[] = "0123456789abcdef";
    buffer += TimeOf(e.timeMs);
    buffer += "\t\\\\x";
    for (unsigned char byte : e.mid) {
      buffer += kHex[byte >> 4];
      buffer += kHex[byte & 15];
    }
    buffer += "\t29\t0\t";
    buffer += e.event;
    buffer += '\t';
    buffer += e.bytes ? std::to_string(*e.bytes) : "\\N";
    buffer += '\t';
    buffer += e.currentPart ? std::to_string(*e.currentPart) : "\\N";
    buffer += '\n';
    ++count;
    return buffer.size() < (1 << 20) || flush();
  });
  if (!ok || !flush() || PQputCopyEnd(c.get(), nullptr) != 1) return false;
  std::unique_ptr<PGresult, decltype(&PQclear)> result(PQgetResult(c.get()), PQclear);
  if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
    std::fprintf(stderr, "%s", PQerrorMessage(c.get()));
    return false;
  }
  PQclear(PQexec(c.get(), "ANALYZE events"));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string db;
  GeneratorSettings settings;
  std::string endDay = DayText(std::time(nullptr));
  int runs = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    const char* value = argv[i + 1];
    if (arg == "--db")
      db = value;
    else if (arg == "--events")
      settings.events = std::atoll(value);
    else if (arg == "--days")
      settings.days = std::atoi(value);
    else if (arg == "--end")
      endDay = value;
    else if (arg == "--runs")
      runs = std::atoi(value);
    else if (arg == "--seed")
      settings.seed = static_cast<uint32_t>(std::atoi(value));
  }
  std::time_t endMidnight = 0;
  if (db.empty() || settings.days < 1 || runs < 1 || !ParseDay(endDay, endMidnight)) {
    std::fprintf(stderr,
                 "usage: bench_summary --db FILE|CONNINFO [--events N] [--days D]"
                 " [--end YYYY-MM-DD] [--runs R] [--seed S]\n");
    return 2;
  }
  // The end day's last second, or now when the end is today.
  const std::time_t now = std::min<std::time_t>(std::time(nullptr), endMidnight + 86399);
  settings.end = now;

  std::string error;
  std::unique_ptr<EventStore> store = OpenEventStore(db, 1, 5000, error);
  if (!store) {
    std::fprintf(stderr, "bench_summary: %s\n", error.c_str());
    return 1;
  }
  store->Close();
  const bool postgres = IsPostgresConnectionString(db);
  if (settings.events > 0) {
    int64_t count = 0;
    const auto start = Clock::now();
    if (!(postgres ? LoadPostgres(db, settings, count) : LoadSqlite(db, settings, count))) {
      std::fprintf(stderr, "bench_summary: the load failed\n");
      return 1;
    }
    std::printf("loaded %lld events over %d days in %.1f s\n", static_cast<long long>(count),
                settings.days, Seconds(start));
  }
  auto start = Clock::now();
  std::unique_ptr<SummarySource> source = OpenSummarySource(db, error);
  if (!source) {
    std::fprintf(stderr, "bench_summary: %s\n", error.c_str());
    return 1;
  }
  std::printf("opened the summary source (first fill of the downloads table) in %.1f s\n",
              Seconds(start));

  SummaryPeriod period;
  QueryPairs none;
  if (!ReadSummaryPeriod(none, now, period, error)) return 1;
  DashboardSummary summary;
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    start = Clock::now();
    if (!ReadSummary(*source, period, now, summary, error)) {
      std::fprintf(stderr, "bench_summary: %s\n", error.c_str());
      return 1;
    }
    times.push_back(Seconds(start));
  }
  std::sort(times.begin(), times.end());
  std::printf("summary %s to %s: median %.3f s, slowest %.3f s over %d runs\n", period.from.c_str(),
              period.to.c_str(), times[times.size() / 2], times.back(), runs);
  std::printf(
      "  started %lld, finished %lld, median finish %.0f s, p90 %.0f s, unfinished %lld,"
      " active %lld\n",
      static_cast<long long>(summary.started), static_cast<long long>(summary.finished),
      summary.medianFinishSeconds.value_or(-1), summary.p90FinishSeconds.value_or(-1),
      static_cast<long long>(summary.unfinished), static_cast<long long>(summary.activeMachines));
  return 0;
}

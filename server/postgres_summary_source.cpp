#include "server/postgres_summary_source.h"

#include <libpq-fe.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "server/postgres_handles.h"
#include "server/summary_period.h"
#include "server/summary_sql.h"

namespace {

using Connection = PgConnection;
using Result = PgResult;

constexpr const char* kDurationMs =
    "round(EXTRACT(EPOCH FROM (f.time::timestamptz - s.time::timestamptz)) * 1000)::bigint";
constexpr const char* kFollowDurationMs =
    "round(EXTRACT(EPOCH FROM (NEW.time::timestamptz - started_at::timestamptz)) * 1000)::bigint";

// Another key than the event store's: the two set-ups may run at once.
constexpr const char* kSetupLock = "SELECT pg_advisory_xact_lock(727129030)";

std::string Message(PGconn* connection) {
  std::string error = PQerrorMessage(connection);
  while (!error.empty() && error.back() == '\n') error.pop_back();
  return error;
}

Connection Connect(const std::string& conninfo, std::string& error) {
  Connection connection(PQconnectdb(conninfo.c_str()));
  if (!connection) {
    error = "out of memory";
    return nullptr;
  }
  if (PQstatus(connection.get()) != CONNECTION_OK) {
    error = Message(connection.get());
    return nullptr;
  }
  // "already exists, skipping" on every start is no news for the log.
  PQsetNoticeProcessor(
      connection.get(), [](void*, const char*) {}, nullptr);
  return connection;
}

bool Exec(PGconn* connection, const std::string& sql, std::string& error) {
  Result result(PQexec(connection, sql.c_str()));
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return true;
  error = Message(connection);
  return false;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

// bytea in its text output form, "\x6869".
std::string FromByteaHex(const char* text) {
  std::string bytes;
  const std::string hex = text;
  for (size_t i = 2; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(HexValue(hex[i]) * 16 + HexValue(hex[i + 1])));
  }
  return bytes;
}

std::optional<int64_t> Number(PGresult* r, int row, int column) {
  if (PQgetisnull(r, row, column)) return std::nullopt;
  return std::strtoll(PQgetvalue(r, row, column), nullptr, 10);
}

int64_t Count(PGresult* r, int row, int column) { return Number(r, row, column).value_or(0); }

// Creates the downloads table with its trigger, filled from the events so
// far. Inserts wait (the table lock) until it is done, so none is missed;
// the advisory lock keeps two servers from doing it at once.
bool PrepareDownloads(PGconn* connection, std::string& error) {
  if (!Exec(connection, "BEGIN", error)) return false;
  bool ok = Exec(connection, kSetupLock, error);
  bool exists = false;
  if (ok) {
    // Rebuilding the events table drops its trigger: the downloads table
    // may then miss events, so it is made again from them.
    Result result(PQexec(connection,
                         "SELECT to_regclass('downloads') IS NOT NULL, EXISTS (SELECT 1 FROM"
                         " pg_trigger WHERE tgname = 'events_follow_download'"
                         " AND tgrelid = to_regclass('events'))"));
    ok = result && PQresultStatus(result.get()) == PGRES_TUPLES_OK && PQntuples(result.get()) == 1;
    if (ok) exists = PQgetvalue(result.get(), 0, 0)[0] == 't';
    if (ok && exists && PQgetvalue(result.get(), 0, 1)[0] != 't') {
      ok = Exec(connection, "DROP TABLE downloads", error);
      exists = false;
    }
    if (!ok && error.empty()) error = Message(connection);
  }
  if (ok && !exists) {
    ok = Exec(connection, "LOCK TABLE events IN SHARE ROW EXCLUSIVE MODE", error) &&
         Exec(connection, summary_sql::DownloadsTable("BIGINT", "BYTEA"), error) &&
         // Each event rewrites its download's row: vacuumed often, the
         // table keeps its pages all-visible, so the figures' index-only
         // scans need not visit it.
         Exec(connection,
              "ALTER TABLE downloads SET (autovacuum_vacuum_scale_factor = 0.02,"
              " autovacuum_analyze_scale_factor = 0.02)",
              error) &&
         Exec(connection, summary_sql::FillDownloads(kDurationMs), error);
  }
  ok = ok && Exec(connection, summary_sql::kIndexes, error) &&
       (exists || Exec(connection, summary_sql::kMarkSuperseded, error)) &&
       Exec(connection,
            std::string("CREATE OR REPLACE FUNCTION tovi_follow_download() RETURNS trigger"
                        " LANGUAGE plpgsql AS $body$ BEGIN"
                        " IF NEW.event = 'start' THEN ") +
                summary_sql::kStartDownload + "; ELSE " +
                summary_sql::FollowDownload(kFollowDurationMs, "GREATEST") +
                "; END IF; RETURN NULL; END $body$",
            error) &&
       Exec(connection,
            "CREATE OR REPLACE TRIGGER events_follow_download AFTER INSERT ON events"
            " FOR EACH ROW EXECUTE FUNCTION tovi_follow_download()",
            error);
  std::string ignored;
  if (!ok) {
    Exec(connection, "ROLLBACK", ignored);
    return false;
  }
  if (!Exec(connection, "COMMIT", error)) return false;
  // After the first fill, statistics and the visibility map at once rather
  // than at autovacuum's next round: the planner needs them to choose the
  // small partial and index-only scans. (Outside the transaction, as VACUUM
  // must be.)
  return exists || Exec(connection, "VACUUM (ANALYZE) downloads", error);
}

class PostgresSummarySource : public SummarySource {
 public:
  PostgresSummarySource(std::string conninfo, Connection connection)
      : conninfo_(std::move(conninfo)), connection_(std::move(connection)) {
    KeepCancel();
  }
  ~PostgresSummarySource() override {
    if (cancel_ != nullptr) PQfreeCancel(cancel_);
  }

  void Interrupt() override {
    interrupted_.store(true);
    // Asks the database to end the query running now, if any.
    std::lock_guard<std::mutex> guard(cancelLock_);
    char reason[256];
    if (cancel_ != nullptr) PQcancel(cancel_, reason, sizeof reason);
  }

  bool ReadRows(const SummaryPeriod& period, std::time_t now, SummaryRows& rows,
                std::string& error) override {
    std::lock_guard<std::mutex> guard(lock_);
    if (!Reconnect(error)) return false;
    PGconn* c = connection_.get();
    const std::string end = DayAfter(period.to);
    const std::string since = TimeText(now - kActiveWindowSeconds);
    // One snapshot: every figure from the same moment.
    if (!Exec(c, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", error)) return false;
    bool ok = Query(summary_sql::kStartedByDay, {period.from, end}, error, [&](PGresult* r, int i) {
      rows.startedByDay[PQgetvalue(r, i, 0)] = Count(r, i, 1);
    });
    ok = ok && Query(summary_sql::kFinished, {period.from, end}, error, [&](PGresult* r, int i) {
           rows.finished.push_back(
               {PQgetvalue(r, i, 0), Count(r, i, 1), Count(r, i, 2), Count(r, i, 3)});
         });
    ok =
        ok && Query(summary_sql::kStops, {period.from, end, since}, error, [&](PGresult* r, int i) {
          rows.stopsByPart[Number(r, i, 0).value_or(-1)] += Count(r, i, 1);
        });
    ok = ok && Query(summary_sql::kActive, {since}, error,
                     [&](PGresult* r, int i) { rows.activeMachines = Count(r, i, 0); });
    std::string ignored;
    Exec(c, ok ? "COMMIT" : "ROLLBACK", ok ? error : ignored);
    return ok;
  }

  bool ReadEvents(const SummaryPeriod& period, EventCursor& cursor, int limit,
                  std::vector<EventLine>& lines, std::string& error) override {
    std::lock_guard<std::mutex> guard(lock_);
    if (!Reconnect(error)) return false;
    const std::vector<std::string> values = {period.from, DayAfter(period.to), cursor.time,
                                             std::to_string(cursor.id), std::to_string(limit)};
    return Query(summary_sql::kEvents, values, error, [&](PGresult* r, int i) {
      EventLine line;
      line.id = Count(r, i, 0);
      line.time = PQgetvalue(r, i, 1);
      line.mid = FromByteaHex(PQgetvalue(r, i, 2));
      line.game = PQgetvalue(r, i, 3);
      line.distributor = PQgetvalue(r, i, 4);
      line.event = PQgetvalue(r, i, 5);
      line.bytes = Number(r, i, 6);
      line.currentPart = Number(r, i, 7);
      cursor = {line.time, line.id};
      lines.push_back(std::move(line));
    });
  }

 private:
  // A connection lost (a database restart) is opened again before a query.
  bool Reconnect(std::string& error) {
    if (interrupted_.load()) {
      error = "the server is stopping";
      return false;
    }
    if (connection_ && PQstatus(connection_.get()) == CONNECTION_OK) return true;
    connection_ = Connect(conninfo_, error);
    KeepCancel();
    return connection_ != nullptr;
  }

  // The cancel handle of the connection in use (under lock_).
  void KeepCancel() {
    std::lock_guard<std::mutex> guard(cancelLock_);
    if (cancel_ != nullptr) PQfreeCancel(cancel_);
    cancel_ = connection_ ? PQgetCancel(connection_.get()) : nullptr;
  }

  template <typename OnRow>
  bool Query(const std::string& sql, const std::vector<std::string>& values, std::string& error,
             OnRow onRow) {
    std::vector<const char*> pointers;
    for (const auto& value : values) pointers.push_back(value.c_str());
    Result result(PQexecParams(connection_.get(), sql.c_str(), static_cast<int>(values.size()),
                               nullptr, pointers.data(), nullptr, nullptr, 0));
    if (!result || PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
      error = Message(connection_.get());
      return false;
    }
    for (int i = 0; i < PQntuples(result.get()); ++i) onRow(result.get(), i);
    return true;
  }

  const std::string conninfo_;
  std::mutex lock_;
  Connection connection_;
  std::mutex cancelLock_;
  PGcancel* cancel_ = nullptr;  // cancelLock_
  std::atomic<bool> interrupted_{false};
};

}  // namespace

std::unique_ptr<SummarySource> OpenPostgresSummarySource(const std::string& conninfo,
                                                         std::string& error) {
  Connection connection = Connect(conninfo, error);
  if (!connection || !PrepareDownloads(connection.get(), error)) return nullptr;
  return std::make_unique<PostgresSummarySource>(conninfo, std::move(connection));
}

#include "server/sqlite_summary_source.h"

#include <sqlite3.h>

#include <atomic>
#include <mutex>

#include "server/sqlite_handles.h"
#include "server/summary_period.h"
#include "server/summary_sql.h"

namespace {

using Statement = SqliteStatement;
using Database = SqliteDatabase;

constexpr const char* kDurationMs =
    "CAST(round((julianday(f.time) - julianday(s.time)) * 86400000.0) AS INTEGER)";
constexpr const char* kFollowDurationMs =
    "CAST(round((julianday(NEW.time) - julianday(started_at)) * 86400000.0) AS INTEGER)";

// SQLite numbers its parameters ?1, ?2, ...
std::string ForSqlite(std::string sql) {
  for (char& c : sql) {
    if (c == '$') c = '?';
  }
  return sql;
}

std::string Text(sqlite3_stmt* s, int column) {
  const auto* value = static_cast<const char*>(sqlite3_column_blob(s, column));
  return value ? std::string(value, static_cast<size_t>(sqlite3_column_bytes(s, column)))
               : std::string();
}

std::optional<int64_t> Number(sqlite3_stmt* s, int column) {
  if (sqlite3_column_type(s, column) == SQLITE_NULL) return std::nullopt;
  return sqlite3_column_int64(s, column);
}

class SqliteSummarySource : public SummarySource {
 public:
  explicit SqliteSummarySource(Database db) : db_(std::move(db)), raw_(db_.get()) {}

  bool ReadRows(const SummaryPeriod& period, std::time_t now, SummaryRows& rows,
                std::string& error) override {
    std::lock_guard<std::mutex> guard(lock_);
    if (Interrupted(error)) return false;
    const std::string end = DayAfter(period.to);
    const std::string since = TimeText(now - kActiveWindowSeconds);
    // One read transaction: every figure from the same moment.
    if (!Exec("BEGIN", error)) return false;
    bool ok = Query(summary_sql::kStartedByDay, {period.from, end}, error, [&](sqlite3_stmt* s) {
      rows.startedByDay[Text(s, 0)] = sqlite3_column_int64(s, 1);
    });
    ok = ok && Query(summary_sql::kFinished, {period.from, end}, error, [&](sqlite3_stmt* s) {
           rows.finished.push_back({Text(s, 0), sqlite3_column_int64(s, 1),
                                    sqlite3_column_int64(s, 2), sqlite3_column_int64(s, 3)});
         });
    ok = ok && Query(summary_sql::kStops, {period.from, end, since}, error, [&](sqlite3_stmt* s) {
           rows.stopsByPart[Number(s, 0).value_or(-1)] += sqlite3_column_int64(s, 1);
         });
    ok = ok && Query(summary_sql::kActive, {since}, error,
                     [&](sqlite3_stmt* s) { rows.activeMachines = sqlite3_column_int64(s, 0); });
    std::string ignored;
    Exec(ok ? "COMMIT" : "ROLLBACK", ok ? error : ignored);
    return ok;
  }

  bool ReadEvents(const SummaryPeriod& period, EventCursor& cursor, int limit,
                  std::vector<EventLine>& lines, std::string& error) override {
    std::lock_guard<std::mutex> guard(lock_);
    if (Interrupted(error)) return false;
    Statement statement = Prepare(summary_sql::kEvents, error);
    if (!statement) return false;
    sqlite3_stmt* s = statement.get();
    const std::string end = DayAfter(period.to);
    if (!Bind(s, {period.from, end, cursor.time}, error) ||
        sqlite3_bind_int64(s, 4, cursor.id) != SQLITE_OK ||
        sqlite3_bind_int(s, 5, limit) != SQLITE_OK) {
      error = sqlite3_errmsg(db_.get());
      return false;
    }
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(s)) == SQLITE_ROW) {
      EventLine line;
      line.id = sqlite3_column_int64(s, 0);
      line.time = Text(s, 1);
      line.mid = Text(s, 2);
      line.game = Text(s, 3);
      line.distributor = Text(s, 4);
      line.event = Text(s, 5);
      line.bytes = Number(s, 6);
      line.currentPart = Number(s, 7);
      cursor = {line.time, line.id};
      lines.push_back(std::move(line));
    }
    if (step != SQLITE_DONE) {
      error = sqlite3_errmsg(db_.get());
      return false;
    }
    return true;
  }

  void Interrupt() override {
    interrupted_.store(true);
    // Safe from any thread while the connection is open; a statement
    // running now stops at its next step.
    sqlite3_interrupt(raw_);
  }

 private:
  bool Interrupted(std::string& error) {
    if (!interrupted_.load()) return false;
    error = "the server is stopping";
    return true;
  }

  Statement Prepare(const std::string& sql, std::string& error) {
    sqlite3_stmt* raw = nullptr;
    const std::string text = ForSqlite(sql);
    if (sqlite3_prepare_v2(db_.get(), text.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
      error = sqlite3_errmsg(db_.get());
      return Statement();
    }
    return Statement(raw);
  }

  bool Bind(sqlite3_stmt* s, const std::vector<std::string>& values, std::string& error) {
    for (size_t i = 0; i < values.size(); ++i) {
      if (sqlite3_bind_text(s, static_cast<int>(i + 1), values[i].data(),
                            static_cast<int>(values[i].size()), SQLITE_TRANSIENT) != SQLITE_OK) {
        error = sqlite3_errmsg(db_.get());
        return false;
      }
    }
    return true;
  }

  template <typename OnRow>
  bool Query(const std::string& sql, const std::vector<std::string>& values, std::string& error,
             OnRow onRow) {
    Statement statement = Prepare(sql, error);
    if (!statement || !Bind(statement.get(), values, error)) return false;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) onRow(statement.get());
    if (step != SQLITE_DONE) {
      error = sqlite3_errmsg(db_.get());
      return false;
    }
    return true;
  }

  bool Exec(const char* sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? message : sqlite3_errmsg(db_.get());
    sqlite3_free(message);
    return false;
  }

  std::mutex lock_;
  Database db_;
  sqlite3* const raw_;  // for Interrupt, which takes no lock
  std::atomic<bool> interrupted_{false};
};

bool Run(sqlite3* db, const std::string& sql, std::string& error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  error = message ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  return false;
}

bool InSchema(sqlite3* db, const char* type, const char* name) {
  sqlite3_stmt* raw = nullptr;
  bool found = false;
  if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE type = ?1 AND name = ?2", -1, &raw,
                         nullptr) == SQLITE_OK) {
    sqlite3_bind_text(raw, 1, type, -1, SQLITE_STATIC);
    sqlite3_bind_text(raw, 2, name, -1, SQLITE_STATIC);
    found = sqlite3_step(raw) == SQLITE_ROW;
  }
  sqlite3_finalize(raw);
  return found;
}

// Creates the downloads table with its upkeep, filled from the events so
// far, in one write transaction: no event can slip in between the fill and
// the first trigger.
bool PrepareDownloads(sqlite3* db, std::string& error) {
  if (!Run(db, "BEGIN IMMEDIATE", error)) return false;
  bool exists = InSchema(db, "table", "downloads");
  // Rebuilding the events table drops its triggers: the downloads table
  // may then miss events, so it is made again from them.
  if (exists && !(InSchema(db, "trigger", "events_start_download") &&
                  InSchema(db, "trigger", "events_follow_download"))) {
    if (!Run(db, "DROP TABLE downloads", error)) {
      std::string ignored;
      Run(db, "ROLLBACK", ignored);
      return false;
    }
    exists = false;
  }
  const std::string follow = summary_sql::FollowDownload(kFollowDurationMs, "max");
  bool ok = exists || (Run(db, summary_sql::DownloadsTable("INTEGER", ""), error) &&
                       Run(db, summary_sql::FillDownloads(kDurationMs), error));
  ok = ok && Run(db, summary_sql::kIndexes, error) &&
       (exists || Run(db, summary_sql::kMarkSuperseded, error)) &&
       Run(db,
           std::string("CREATE TRIGGER IF NOT EXISTS events_start_download AFTER INSERT ON events"
                       " WHEN NEW.event = 'start' BEGIN ") +
               summary_sql::kStartDownload +
               "; END;"
               "CREATE TRIGGER IF NOT EXISTS events_follow_download AFTER INSERT ON events"
               " WHEN NEW.event <> 'start' BEGIN " +
               follow + "; END;",
           error);
  std::string ignored;
  if (!ok) {
    Run(db, "ROLLBACK", ignored);
    return false;
  }
  return Run(db, "COMMIT", error);
}

}  // namespace

std::unique_ptr<SummarySource> OpenSqliteSummarySource(const std::string& path,
                                                       std::string& error) {
  sqlite3* raw = nullptr;
  // No CREATE: the event store has made the file and its events table.
  const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  Database db(raw);
  if (opened != SQLITE_OK) {
    error = raw ? sqlite3_errmsg(raw) : "out of memory";
    return nullptr;
  }
  sqlite3_busy_timeout(db.get(), 5000);
  if (!PrepareDownloads(db.get(), error)) return nullptr;
  return std::make_unique<SqliteSummarySource>(std::move(db));
}

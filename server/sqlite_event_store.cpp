#include "server/sqlite_event_store.h"

#include <sqlite3.h>

#include <mutex>

namespace {

struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

Statement Prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) return Statement();
  return Statement(raw);
}

bool BindText(sqlite3_stmt* statement, int index, const std::string& text) {
  return sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                           SQLITE_TRANSIENT) == SQLITE_OK;
}

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS events ("
    " id INTEGER PRIMARY KEY,"
    " time TEXT NOT NULL,"
    " mid TEXT NOT NULL,"
    " game TEXT NOT NULL,"
    " distributor TEXT NOT NULL,"
    " event TEXT NOT NULL,"
    " bytes INTEGER,"
    " current_part INTEGER);"
    "CREATE INDEX IF NOT EXISTS events_by_machine ON events (mid, game, distributor, id);";

class SqliteEventStore : public EventStore {
 public:
  explicit SqliteEventStore(Database db) : db_(std::move(db)) {}

  bool Record(const StatsEvent& event) override {
    std::lock_guard<std::mutex> guard(lock_);
    if (!db_) return false;
    Statement statement =
        Prepare(db_.get(),
                "INSERT INTO events (time, mid, game, distributor, event, bytes, current_part)"
                " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    if (!statement) return false;
    sqlite3_stmt* s = statement.get();
    bool ok = BindText(s, 1, UtcTimestamp()) && BindText(s, 2, event.mid) &&
              BindText(s, 3, event.game) && BindText(s, 4, event.distributor) &&
              BindText(s, 5, event.event);
    ok = ok && (event.bytes ? sqlite3_bind_int64(s, 6, *event.bytes) : sqlite3_bind_null(s, 6)) ==
                   SQLITE_OK;
    ok = ok && (event.currentPart ? sqlite3_bind_int(s, 7, *event.currentPart)
                                  : sqlite3_bind_null(s, 7)) == SQLITE_OK;
    return ok && sqlite3_step(s) == SQLITE_DONE;
  }

  bool LastReportedPart(const std::string& mid, const std::string& game,
                        const std::string& distributor, int64_t& part) override {
    std::lock_guard<std::mutex> guard(lock_);
    part = 0;
    if (!db_) return false;
    // A start begins a new download, so reports from before it do not count.
    Statement statement = Prepare(db_.get(),
                                  "SELECT event, current_part FROM events"
                                  " WHERE mid = ?1 AND game = ?2 AND distributor = ?3"
                                  " AND event IN ('start', 'pause', 'update')"
                                  " ORDER BY id DESC LIMIT 1");
    if (!statement) return false;
    sqlite3_stmt* s = statement.get();
    if (!BindText(s, 1, mid) || !BindText(s, 2, game) || !BindText(s, 3, distributor)) {
      return false;
    }
    const int step = sqlite3_step(s);
    if (step == SQLITE_DONE) return true;
    if (step != SQLITE_ROW) return false;
    const auto* event = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    if (event != nullptr && std::string(event) != "start" &&
        sqlite3_column_type(s, 1) == SQLITE_INTEGER) {
      part = sqlite3_column_int64(s, 1);
    }
    return true;
  }

  void Close() override {
    std::lock_guard<std::mutex> guard(lock_);
    db_.reset();  // folds the write-ahead log back into the file
  }

 private:
  std::mutex lock_;
  Database db_;
};

}  // namespace

std::unique_ptr<EventStore> OpenSqliteEventStore(const std::string& path, std::string& error) {
  sqlite3* raw = nullptr;
  const int opened =
      sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  Database db(raw);
  if (opened != SQLITE_OK) {
    error = raw ? sqlite3_errmsg(raw) : "out of memory";
    return nullptr;
  }
  sqlite3_busy_timeout(db.get(), 5000);
  // The write-ahead log lets readers (a test, a publisher's report) look at
  // the file while the server writes; closing folds it back.
  char* message = nullptr;
  if (sqlite3_exec(db.get(), "PRAGMA journal_mode=WAL;", nullptr, nullptr, &message) != SQLITE_OK ||
      sqlite3_exec(db.get(), kSchema, nullptr, nullptr, &message) != SQLITE_OK) {
    error = message ? message : sqlite3_errmsg(db.get());
    sqlite3_free(message);
    return nullptr;
  }
  return std::make_unique<SqliteEventStore>(std::move(db));
}

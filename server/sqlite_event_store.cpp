#include "server/sqlite_event_store.h"

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "server/sqlite_handles.h"

// A start begins a new download, so reports from before it do not count.
const char* const kSqliteLastReportedPart =
    "SELECT event, current_part FROM events"
    " WHERE mid = ?1 AND game = ?2 AND distributor = ?3"
    " AND event IN ('start', 'pause', 'update')"
    " ORDER BY id DESC LIMIT 1";

namespace {

using Statement = SqliteStatement;
using Database = SqliteDatabase;

Statement Prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) return Statement();
  return Statement(raw);
}

bool BindText(sqlite3_stmt* statement, int index, const std::string& text) {
  return sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                           SQLITE_TRANSIENT) == SQLITE_OK;
}

bool BindBlob(sqlite3_stmt* statement, int index, const std::string& bytes) {
  return sqlite3_bind_blob(statement, index, bytes.data(), static_cast<int>(bytes.size()),
                           SQLITE_TRANSIENT) == SQLITE_OK;
}

// The identifier is a BLOB: exact bytes, which need not be UTF-8 (as
// PostgreSQL's bytea). /resume reads the latest start, pause or update of a
// machine with one lookup in events_progress, which holds only those rows,
// however many resume and finish rows the machine has.
constexpr const char* kTable =
    "CREATE TABLE IF NOT EXISTS events ("
    " id INTEGER PRIMARY KEY,"
    " time TEXT NOT NULL,"
    " mid BLOB NOT NULL,"
    " game TEXT NOT NULL,"
    " distributor TEXT NOT NULL,"
    " event TEXT NOT NULL,"
    " bytes INTEGER,"
    " current_part INTEGER);";
constexpr const char* kIndexes =
    "CREATE INDEX IF NOT EXISTS events_by_machine ON events (mid, game, distributor, id);"
    "CREATE INDEX IF NOT EXISTS events_progress ON events (mid, game, distributor, id)"
    " WHERE event IN ('start', 'pause', 'update');";

// Databases made before the identifier was a BLOB hold it as TEXT: the
// table is rebuilt with the same rows, the identifiers' bytes unchanged, in
// one transaction.
constexpr const char* kMigrateMidToBlob =
    "BEGIN IMMEDIATE;"
    "CREATE TABLE events_blob_mid ("
    " id INTEGER PRIMARY KEY,"
    " time TEXT NOT NULL,"
    " mid BLOB NOT NULL,"
    " game TEXT NOT NULL,"
    " distributor TEXT NOT NULL,"
    " event TEXT NOT NULL,"
    " bytes INTEGER,"
    " current_part INTEGER);"
    "INSERT INTO events_blob_mid"
    " SELECT id, time, CAST(mid AS BLOB), game, distributor, event, bytes, current_part"
    " FROM events ORDER BY id;"
    "DROP TABLE events;"
    "ALTER TABLE events_blob_mid RENAME TO events;"
    "COMMIT;";

// The declared type of events.mid; empty when the table is missing.
std::string MidColumnType(sqlite3* db) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT type FROM pragma_table_info('events') WHERE name = 'mid'", -1,
                         &raw, nullptr) != SQLITE_OK) {
    return {};
  }
  Statement statement(raw);
  if (sqlite3_step(raw) != SQLITE_ROW) return {};
  const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
  return type ? type : "";
}

using Clock = std::chrono::steady_clock;

// Waits for a lock another process holds, in short sleeps, until the call's
// deadline or an interrupt; then the statement fails with SQLITE_BUSY.
struct BusyWait {
  std::atomic<bool> interrupted{false};
  Clock::time_point deadline;  // of the call in progress (under the store's lock)

  static int Callback(void* context, int) {
    auto* wait = static_cast<BusyWait*>(context);
    if (wait->interrupted.load() || Clock::now() >= wait->deadline) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return 1;
  }
};

class SqliteEventStore : public EventStore {
 public:
  SqliteEventStore(Database db, std::unique_ptr<BusyWait> busy, int timeoutMs)
      : db_(std::move(db)), raw_(db_.get()), busy_(std::move(busy)), timeout_(timeoutMs) {}

  bool Record(const StatsEvent& event) override {
    std::lock_guard<std::mutex> guard(lock_);
    if (!Begin()) return false;
    InCall inCall(inCall_);
    Statement statement =
        Prepare(db_.get(),
                "INSERT INTO events (time, mid, game, distributor, event, bytes, current_part)"
                " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    if (!statement) return false;
    sqlite3_stmt* s = statement.get();
    bool ok = BindText(s, 1, UtcTimestamp()) && BindBlob(s, 2, event.mid) &&
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
    if (!Begin()) return false;
    InCall inCall(inCall_);
    // A start begins a new download, so reports from before it do not count.
    Statement statement = Prepare(db_.get(), kSqliteLastReportedPart);
    if (!statement) return false;
    sqlite3_stmt* s = statement.get();
    if (!BindBlob(s, 1, mid) || !BindText(s, 2, game) || !BindText(s, 3, distributor)) {
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
    // A statement started with none running clears an interrupt, which
    // would otherwise stop the checkpoint that closing makes.
    if (db_) sqlite3_exec(db_.get(), "SELECT 1;", nullptr, nullptr, nullptr);
    db_.reset();  // folds the write-ahead log back into the file
  }

  void Interrupt() override {
    busy_->interrupted.store(true);
    // A statement running now stops at its next step.
    if (inCall_.load()) sqlite3_interrupt(raw_);
  }

 private:
  // Under lock_: false when the store is closed or interrupted; otherwise
  // the call's deadline is set.
  bool Begin() {
    if (!db_ || busy_->interrupted.load()) return false;
    busy_->deadline = Clock::now() + std::chrono::milliseconds(timeout_);
    return true;
  }

  // Marks a call in progress (under lock_), for Interrupt.
  struct InCall {
    explicit InCall(std::atomic<bool>& flag) : flag_(flag) { flag_.store(true); }
    ~InCall() { flag_.store(false); }
    std::atomic<bool>& flag_;
  };

  std::mutex lock_;
  Database db_;
  sqlite3* const raw_;  // for Interrupt, which takes no lock
  std::unique_ptr<BusyWait> busy_;
  const int timeout_;
  std::atomic<bool> inCall_{false};
};

// False, with the reason, when the database cannot be written: a read-only
// file or directory is found at start-up, not at the first report. A write
// lock held elsewhere at this moment is no reason to refuse.
bool CheckWritable(sqlite3* db, const std::string& path, std::string& error) {
  if (sqlite3_db_readonly(db, "main") == 1) {
    error = path + " can only be read (check the file's and its directory's permissions)";
    return false;
  }
  char* message = nullptr;
  int code = sqlite3_exec(db, "BEGIN IMMEDIATE; ROLLBACK;", nullptr, nullptr, &message);
  if (code != SQLITE_OK) {
    const int primary = code & 0xFF;
    std::string reason = message ? message : sqlite3_errstr(code);
    sqlite3_free(message);
    sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) return true;
    error = path + " cannot be written: " + reason +
            " (check the file's and its directory's permissions)";
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<EventStore> OpenSqliteEventStore(const std::string& path, int timeoutMs,
                                                 std::string& error) {
  sqlite3* raw = nullptr;
  const int opened =
      sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  Database db(raw);
  if (opened != SQLITE_OK) {
    error = raw ? sqlite3_errmsg(raw) : "out of memory";
    return nullptr;
  }
  // Start-up waits as long as a call may (the deadline is the open's).
  auto busy = std::make_unique<BusyWait>();
  busy->deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  sqlite3_busy_handler(db.get(), BusyWait::Callback, busy.get());
  // The write-ahead log lets readers (a test, a publisher's report) look at
  // the file while the server writes; closing folds it back.
  char* message = nullptr;
  if (sqlite3_exec(db.get(), "PRAGMA journal_mode=WAL;", nullptr, nullptr, &message) != SQLITE_OK ||
      sqlite3_exec(db.get(), kTable, nullptr, nullptr, &message) != SQLITE_OK ||
      (MidColumnType(db.get()) != "BLOB" &&
       sqlite3_exec(db.get(), kMigrateMidToBlob, nullptr, nullptr, &message) != SQLITE_OK) ||
      sqlite3_exec(db.get(), kIndexes, nullptr, nullptr, &message) != SQLITE_OK) {
    error = message ? message : sqlite3_errmsg(db.get());
    sqlite3_free(message);
    const int code = sqlite3_errcode(db.get()) & 0xFF;
    sqlite3_exec(db.get(), "ROLLBACK;", nullptr, nullptr, nullptr);
    if (sqlite3_db_readonly(db.get(), "main") == 1 || code == SQLITE_READONLY ||
        code == SQLITE_CANTOPEN || code == SQLITE_PERM) {
      error =
          path + " can only be read (check the file's and its directory's permissions): " + error;
    }
    return nullptr;
  }
  if (!CheckWritable(db.get(), path, error)) return nullptr;
  return std::make_unique<SqliteEventStore>(std::move(db), std::move(busy), timeoutMs);
}

#include "server/postgres_event_store.h"

#include <libpq-fe.h>
#include <poll.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <vector>

#include "server/postgres_handles.h"
#include "server/throttled_log.h"

namespace {

using Connection = PgConnection;
using Result = PgResult;

// Creating the table from two servers at once can fail on the catalogue's
// unique keys, so creation is serialised by a transaction-wide lock.
constexpr const char* kSchema =
    "BEGIN;"
    "SELECT pg_advisory_xact_lock(727129029);"
    "CREATE TABLE IF NOT EXISTS events ("
    " id BIGSERIAL PRIMARY KEY,"
    " time TEXT NOT NULL,"
    " mid BYTEA NOT NULL,"
    " game TEXT NOT NULL,"
    " distributor TEXT NOT NULL,"
    " event TEXT NOT NULL,"
    " bytes BIGINT,"
    " current_part INTEGER);"
    "CREATE INDEX IF NOT EXISTS events_by_machine ON events (mid, game, distributor, id);"
    // /resume: one lookup in the rows that say where a download stands.
    "CREATE INDEX IF NOT EXISTS events_progress ON events (mid, game, distributor, id)"
    " WHERE event IN ('start', 'pause', 'update');"
    "COMMIT;";

constexpr const char* kInsert =
    "INSERT INTO events (time, mid, game, distributor, event, bytes, current_part)"
    " VALUES ($1, $2, $3, $4, $5, $6, $7)";

}  // namespace

// A start begins a new download, so reports from before it do not count.
const char* const kPostgresLastReportedPart =
    "SELECT event, current_part FROM events"
    " WHERE mid = $1 AND game = $2 AND distributor = $3"
    " AND event IN ('start', 'pause', 'update')"
    " ORDER BY id DESC LIMIT 1";

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks at the interrupt flag.
constexpr auto kSlice = std::chrono::milliseconds(50);

std::string ErrorOf(PGconn* connection) {
  std::string error = connection ? PQerrorMessage(connection) : "out of memory";
  while (!error.empty() && (error.back() == '\n' || error.back() == ' ')) error.pop_back();
  return error.empty() ? "unknown error" : error;
}

// Waits until the connection's socket is ready for events, the deadline
// passes or interrupted is set; true only in the first case.
bool WaitSocket(PGconn* connection, short events, Clock::time_point deadline,
                const std::atomic<bool>& interrupted) {
  const int fd = PQsocket(connection);
  if (fd < 0) return false;
  for (;;) {
    if (interrupted.load()) return false;
    const auto now = Clock::now();
    if (now >= deadline) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    const auto wait = left < kSlice ? left : std::chrono::milliseconds(kSlice);
    pollfd entry{fd, events, 0};
    const int ready = poll(&entry, 1, static_cast<int>(wait.count()) + 1);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

// Connects without blocking past the deadline. The statement time limit
// goes to the server too, so that it gives up a statement that waits there
// (a lock) by itself; keywords in conninfo override these.
Connection Connect(const std::string& conninfo, int timeoutMs, Clock::time_point deadline,
                   const std::atomic<bool>& interrupted, std::string& error) {
  const std::string options = "-c statement_timeout=" + std::to_string(timeoutMs);
  const std::string connectTimeout = std::to_string(timeoutMs < 2000 ? 2 : timeoutMs / 1000);
  const char* keywords[] = {"connect_timeout", "options", "dbname", nullptr};
  const char* values[] = {connectTimeout.c_str(), options.c_str(), conninfo.c_str(), nullptr};
  Connection connection(PQconnectStartParams(keywords, values, 1));
  if (!connection || PQstatus(connection.get()) == CONNECTION_BAD) {
    error = ErrorOf(connection.get());
    return nullptr;
  }
  PostgresPollingStatusType state = PGRES_POLLING_WRITING;
  for (;;) {
    if (state == PGRES_POLLING_OK) break;
    if (state == PGRES_POLLING_FAILED) {
      error = ErrorOf(connection.get());
      return nullptr;
    }
    if (!WaitSocket(connection.get(), state == PGRES_POLLING_READING ? POLLIN : POLLOUT, deadline,
                    interrupted)) {
      error = interrupted.load() ? "interrupted" : "no answer from the database in time";
      return nullptr;
    }
    state = PQconnectPoll(connection.get());
  }
  if (PQsetnonblocking(connection.get(), 1) != 0) {
    error = ErrorOf(connection.get());
    return nullptr;
  }
  return connection;
}

// Parameters of one statement: text values, except the identifier, which
// goes as raw bytes; a missing value is SQL NULL.
struct Parameters {
  std::vector<std::string> values;
  std::vector<bool> present;
  std::vector<bool> binary;

  void Add(const std::string& value, bool isBinary = false) {
    values.push_back(value);
    present.push_back(true);
    binary.push_back(isBinary);
  }
  template <typename T>
  void AddOptional(const std::optional<T>& value) {
    values.push_back(value ? std::to_string(*value) : std::string());
    present.push_back(value.has_value());
    binary.push_back(false);
  }
};

class PostgresEventStore : public EventStore {
 public:
  PostgresEventStore(std::string conninfo, int connections, int timeoutMs, Connection first)
      : conninfo_(std::move(conninfo)),
        capacity_(connections > 0 ? connections : 1),
        timeoutMs_(timeoutMs),
        log_(stderr) {
    idle_.push_back(std::move(first));
    open_ = 1;
  }

  bool Record(const StatsEvent& event) override {
    Parameters p;
    p.Add(UtcTimestamp());
    p.Add(event.mid, true);
    p.Add(event.game);
    p.Add(event.distributor);
    p.Add(event.event);
    p.AddOptional(event.bytes);
    p.AddOptional(event.currentPart);
    Result result = Run(kInsert, p);
    return result && PQresultStatus(result.get()) == PGRES_COMMAND_OK;
  }

  bool LastReportedPart(const std::string& mid, const std::string& game,
                        const std::string& distributor, int64_t& part) override {
    part = 0;
    Parameters p;
    p.Add(mid, true);
    p.Add(game);
    p.Add(distributor);
    Result result = Run(kPostgresLastReportedPart, p);
    if (!result || PQresultStatus(result.get()) != PGRES_TUPLES_OK) return false;
    if (PQntuples(result.get()) == 0) return true;
    const std::string event = PQgetvalue(result.get(), 0, 0);
    if (event != "start" && !PQgetisnull(result.get(), 0, 1)) {
      part = std::strtoll(PQgetvalue(result.get(), 0, 1), nullptr, 10);
    }
    return true;
  }

  void Close() override {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = true;
    idle_.clear();
    available_.notify_all();
    log_.Flush();
  }

  void Interrupt() override {
    interrupted_.store(true);
    std::lock_guard<std::mutex> guard(lock_);
    available_.notify_all();
  }

 private:
  // Runs one statement on a pooled connection, once more on a fresh one
  // when the first was lost (a database restart), all within the time
  // limit. A connection that did not answer in time is dropped: its state
  // is unknown.
  Result Run(const char* sql, const Parameters& p) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs_);
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (size_t i = 0; i < p.values.size(); ++i) {
      values.push_back(p.present[i] ? p.values[i].data() : nullptr);
      lengths.push_back(static_cast<int>(p.values[i].size()));
      formats.push_back(p.binary[i] ? 1 : 0);
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
      Connection connection = Acquire(deadline);
      if (!connection) return nullptr;
      bool timedOut = false;
      Result result = Execute(connection.get(), sql, values, lengths, formats, deadline, timedOut);
      const bool lost = timedOut || PQstatus(connection.get()) != CONNECTION_OK;
      if (!result || PQresultStatus(result.get()) == PGRES_FATAL_ERROR) {
        log_.Report(std::string("database statement failed: ") +
                    (timedOut ? (interrupted_.load() ? "interrupted"
                                                     : "no answer from the database in time")
                              : ErrorOf(connection.get())));
      }
      Release(lost ? nullptr : std::move(connection));
      if (!lost || timedOut) return result;
    }
    return nullptr;
  }

  // Sends the statement and collects its result without blocking past the
  // deadline; null with timedOut set when it did not come in time.
  Result Execute(PGconn* connection, const char* sql, const std::vector<const char*>& values,
                 const std::vector<int>& lengths, const std::vector<int>& formats,
                 Clock::time_point deadline, bool& timedOut) {
    if (PQsendQueryParams(connection, sql, static_cast<int>(values.size()), nullptr, values.data(),
                          lengths.data(), formats.data(), 0) != 1) {
      return nullptr;
    }
    for (;;) {
      const int flushed = PQflush(connection);
      if (flushed == 0) break;
      if (flushed < 0) return nullptr;
      if (!WaitSocket(connection, POLLOUT | POLLIN, deadline, interrupted_)) {
        timedOut = true;
        return nullptr;
      }
      if (PQconsumeInput(connection) != 1) return nullptr;
    }
    Result last;
    for (;;) {
      while (PQisBusy(connection)) {
        if (!WaitSocket(connection, POLLIN, deadline, interrupted_)) {
          timedOut = true;
          return nullptr;
        }
        if (PQconsumeInput(connection) != 1) return last;
      }
      PGresult* next = PQgetResult(connection);
      if (next == nullptr) return last;
      last.reset(next);
    }
  }

  // A pooled connection, or a new one while there are fewer than capacity;
  // null when none comes before the deadline.
  Connection Acquire(Clock::time_point deadline) {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
      if (closed_ || interrupted_.load()) return nullptr;
      if (!idle_.empty()) {
        Connection connection = std::move(idle_.back());
        idle_.pop_back();
        return connection;
      }
      if (open_ < capacity_) break;
      if (available_.wait_until(guard, deadline) == std::cv_status::timeout) {
        log_.Report("no database connection became free in time");
        return nullptr;
      }
    }
    ++open_;
    guard.unlock();
    std::string error;
    Connection connection = Connect(conninfo_, timeoutMs_, deadline, interrupted_, error);
    if (!connection) {
      log_.Report("database connection failed: " + error);
      Release(nullptr);
    }
    return connection;
  }

  // Returns a connection to the pool; null when it was lost.
  void Release(Connection connection) {
    std::lock_guard<std::mutex> guard(lock_);
    if (connection && !closed_) {
      idle_.push_back(std::move(connection));
    } else {
      --open_;
    }
    available_.notify_one();
  }

  const std::string conninfo_;
  const int capacity_;
  const int timeoutMs_;
  ThrottledLog log_;
  std::atomic<bool> interrupted_{false};
  std::mutex lock_;
  std::condition_variable available_;
  std::vector<Connection> idle_;
  int open_ = 0;  // connections idle or in use
  bool closed_ = false;
};

}  // namespace

std::unique_ptr<EventStore> OpenPostgresEventStore(const std::string& conninfo, int connections,
                                                   int timeoutMs, std::string& error) {
  // Start-up may wait longer than a request would: the database may be
  // starting too.
  const std::atomic<bool> never{false};
  const int startTimeoutMs = timeoutMs > 10000 ? timeoutMs : 10000;
  const auto deadline = Clock::now() + std::chrono::milliseconds(startTimeoutMs);
  Connection connection = Connect(conninfo, startTimeoutMs, deadline, never, error);
  if (!connection) return nullptr;
  PQsetnonblocking(connection.get(), 0);
  Result result(PQexec(connection.get(), kSchema));
  if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
    error = ErrorOf(connection.get());
    return nullptr;
  }
  PQsetnonblocking(connection.get(), 1);
  return std::make_unique<PostgresEventStore>(conninfo, connections, timeoutMs,
                                              std::move(connection));
}

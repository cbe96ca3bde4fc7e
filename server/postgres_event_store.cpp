#include "server/postgres_event_store.h"

#include <libpq-fe.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <vector>

namespace {

struct ConnectionCloser {
  void operator()(PGconn* connection) const { PQfinish(connection); }
};
using Connection = std::unique_ptr<PGconn, ConnectionCloser>;

struct ResultClear {
  void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultClear>;

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
    "COMMIT;";

constexpr const char* kInsert =
    "INSERT INTO events (time, mid, game, distributor, event, bytes, current_part)"
    " VALUES ($1, $2, $3, $4, $5, $6, $7)";

// A start begins a new download, so reports from before it do not count.
constexpr const char* kLastReportedPart =
    "SELECT event, current_part FROM events"
    " WHERE mid = $1 AND game = $2 AND distributor = $3"
    " AND event IN ('start', 'pause', 'update')"
    " ORDER BY id DESC LIMIT 1";

Connection Connect(const std::string& conninfo, std::string& error) {
  Connection connection(PQconnectdb(conninfo.c_str()));
  if (!connection) {
    error = "out of memory";
    return nullptr;
  }
  if (PQstatus(connection.get()) != CONNECTION_OK) {
    error = PQerrorMessage(connection.get());
    while (!error.empty() && error.back() == '\n') error.pop_back();
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
  PostgresEventStore(std::string conninfo, int connections, Connection first)
      : conninfo_(std::move(conninfo)), capacity_(connections > 0 ? connections : 1) {
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
    Result result = Run(kLastReportedPart, p);
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
  }

 private:
  // Runs one statement on a pooled connection; once more on a fresh
  // connection when the first was lost (a database restart).
  Result Run(const char* sql, const Parameters& p) {
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (size_t i = 0; i < p.values.size(); ++i) {
      values.push_back(p.present[i] ? p.values[i].data() : nullptr);
      lengths.push_back(static_cast<int>(p.values[i].size()));
      formats.push_back(p.binary[i] ? 1 : 0);
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
      Connection connection = Acquire();
      if (!connection) return nullptr;
      Result result(PQexecParams(connection.get(), sql, static_cast<int>(values.size()), nullptr,
                                 values.data(), lengths.data(), formats.data(), 0));
      const bool lost = PQstatus(connection.get()) != CONNECTION_OK;
      Release(lost ? nullptr : std::move(connection));
      if (!lost) return result;
    }
    return nullptr;
  }

  Connection Acquire() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
      if (closed_) return nullptr;
      if (!idle_.empty()) {
        Connection connection = std::move(idle_.back());
        idle_.pop_back();
        return connection;
      }
      if (open_ < capacity_) break;
      available_.wait(guard);
    }
    ++open_;
    guard.unlock();
    std::string error;
    Connection connection = Connect(conninfo_, error);
    if (!connection) {
      std::fprintf(stderr, "tovi-server: database connection failed: %s\n", error.c_str());
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
  std::mutex lock_;
  std::condition_variable available_;
  std::vector<Connection> idle_;
  int open_ = 0;  // connections idle or in use
  bool closed_ = false;
};

}  // namespace

std::unique_ptr<EventStore> OpenPostgresEventStore(const std::string& conninfo, int connections,
                                                   std::string& error) {
  Connection connection = Connect(conninfo, error);
  if (!connection) return nullptr;
  Result result(PQexec(connection.get(), kSchema));
  if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
    error = PQerrorMessage(connection.get());
    while (!error.empty() && error.back() == '\n') error.pop_back();
    return nullptr;
  }
  return std::make_unique<PostgresEventStore>(conninfo, connections, std::move(connection));
}

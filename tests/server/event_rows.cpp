#include "server/event_rows.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <memory>

#include "server/event_store.h"

namespace {

struct PgCloser {
  void operator()(PGconn* c) const { PQfinish(c); }
};
struct PgClear {
  void operator()(PGresult* r) const { PQclear(r); }
};

constexpr const char* kInsert =
    "INSERT INTO events (time, mid, game, distributor, event, bytes, current_part)"
    " VALUES ($1, $2, '29', '0', $3, 1000, $4)";

bool InsertPostgres(const std::string& db, const std::vector<Row>& rows) {
  std::unique_ptr<PGconn, PgCloser> c(PQconnectdb(db.c_str()));
  if (PQstatus(c.get()) != CONNECTION_OK) {
    ADD_FAILURE() << PQerrorMessage(c.get());
    return false;
  }
  for (const Row& row : rows) {
    const std::string part = row.part ? std::to_string(*row.part) : "";
    const char* values[] = {row.time.c_str(), row.mid.data(), row.event.c_str(),
                            row.part ? part.c_str() : nullptr};
    const int lengths[] = {0, static_cast<int>(row.mid.size()), 0, 0};
    const int formats[] = {0, 1, 0, 0};  // the identifier as raw bytes
    std::unique_ptr<PGresult, PgClear> r(
        PQexecParams(c.get(), kInsert, 4, nullptr, values, lengths, formats, 0));
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
      ADD_FAILURE() << PQerrorMessage(c.get());
      return false;
    }
  }
  return true;
}

bool InsertSqlite(const std::string& db, const std::vector<Row>& rows) {
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(db.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> c(raw, sqlite3_close);
  if (opened != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << db;
    return false;
  }
  sqlite3_busy_timeout(c.get(), 5000);
  std::string sql = kInsert;
  for (char& ch : sql) ch = ch == '$' ? '?' : ch;
  // One transaction: the rows are in place together, and quickly.
  if (sqlite3_exec(c.get(), "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
  for (const Row& row : rows) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(c.get(), sql.c_str(), -1, &s, nullptr) != SQLITE_OK) return false;
    sqlite3_bind_text(s, 1, row.time.c_str(), -1, SQLITE_TRANSIENT);
    // The identifier as the server stores it: a BLOB.
    sqlite3_bind_blob(s, 2, row.mid.data(), static_cast<int>(row.mid.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 3, row.event.c_str(), -1, SQLITE_TRANSIENT);
    if (row.part) sqlite3_bind_int64(s, 4, *row.part);
    const int step = sqlite3_step(s);
    sqlite3_finalize(s);
    if (step != SQLITE_DONE) {
      ADD_FAILURE() << sqlite3_errmsg(c.get());
      return false;
    }
  }
  return sqlite3_exec(c.get(), "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace

bool ExecSql(const std::string& db, const std::string& sql) {
  if (IsPostgresConnectionString(db)) {
    std::unique_ptr<PGconn, PgCloser> c(PQconnectdb(db.c_str()));
    std::unique_ptr<PGresult, PgClear> r(PQexec(c.get(), sql.c_str()));
    if (PQresultStatus(r.get()) == PGRES_COMMAND_OK) return true;
    ADD_FAILURE() << PQerrorMessage(c.get());
    return false;
  }
  sqlite3* raw = nullptr;
  sqlite3_open_v2(db.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> c(raw, sqlite3_close);
  if (sqlite3_exec(c.get(), sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  ADD_FAILURE() << sqlite3_errmsg(c.get());
  return false;
}

bool InsertEventRows(const std::string& db, const std::vector<Row>& rows) {
  return IsPostgresConnectionString(db) ? InsertPostgres(db, rows) : InsertSqlite(db, rows);
}

// What one client address may store, and how /resume finds its answer: the
// per-address report limit (a token bucket; 429 with Retry-After beyond it,
// nothing stored), /resume as one indexed lookup however many rows a machine
// has (on SQLite and PostgreSQL), and the SQLite identifier as a BLOB, with
// the migration of a database that holds it as TEXT.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/postgres_cluster.h"
#include "server/postgres_event_store.h"
#include "server/raw_connection.h"
#include "server/server_process.h"
#include "server/server_test_support.h"
#include "server/sqlite_event_store.h"
#include "support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

const std::string kMachine = "&game=29&distributor=0";

std::string Request(const std::string& target) {
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

std::string Report(const std::string& mid, int bytes, int part = 0) {
  return "/update?mid=" + mid + kMachine + "&bytes=" + std::to_string(bytes) +
         "&current_part=" + std::to_string(part);
}

// Runs SQL on an SQLite file; the error text, empty on success.
std::string SqliteExec(const std::string& path, const std::string& sql) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, sqlite3_close);
  sqlite3_busy_timeout(raw, 5000);
  char* message = nullptr;
  if (sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return "";
  std::string error = message ? message : "error";
  sqlite3_free(message);
  return error;
}

// The rows of one SQLite query, each as text joined by '|'.
std::vector<std::string> SqliteRows(const std::string& path, const std::string& sql) {
  std::vector<std::string> rows;
  sqlite3* raw = nullptr;
  sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, sqlite3_close);
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sqlite3_errmsg(raw) << ": " << sql;
    return rows;
  }
  while (sqlite3_step(statement) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      if (i > 0) row += "|";
      const auto* text = sqlite3_column_text(statement, i);
      if (text) row.append(reinterpret_cast<const char*>(text),
                           static_cast<size_t>(sqlite3_column_bytes(statement, i)));
    }
    rows.push_back(row);
  }
  sqlite3_finalize(statement);
  return rows;
}

std::vector<std::string> PostgresRows(const std::string& conninfo, const std::string& sql) {
  std::vector<std::string> rows;
  std::unique_ptr<PGconn, decltype(&PQfinish)> connection(PQconnectdb(conninfo.c_str()), PQfinish);
  std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(connection.get(), sql.c_str()),
                                                       PQclear);
  const auto status = PQresultStatus(result.get());
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
    ADD_FAILURE() << PQerrorMessage(connection.get()) << ": " << sql;
    return rows;
  }
  for (int r = 0; r < PQntuples(result.get()); ++r) {
    std::string row;
    for (int c = 0; c < PQnfields(result.get()); ++c) {
      if (c > 0) row += "|";
      row += PQgetvalue(result.get(), r, c);
    }
    rows.push_back(row);
  }
  return rows;
}

class ServerReportsTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(box_.Path("parts"));
    box_.Write("parts/ToviSetup.exe", Pattern(3000, 0));
    box_.Write("parts/ToviSetup-1.bin", Pattern(2000, 1));
    box_.Write("parts/ToviSetup-2.bin", Pattern(1000, 2));
  }

  void Start(std::vector<std::string> extra = {}, const std::string& db = "") {
    db_ = db.empty() ? box_.Path("events.sqlite3") : db;
    std::vector<std::string> args = {"--port", "0", "--parts", box_.Path("parts"), "--db", db_};
    args.insert(args.end(), extra.begin(), extra.end());
    ASSERT_TRUE(server_.Start(args, box_.Path("server.log"))) << box_.Read("server.log");
  }

  // Sends the targets pipelined on one connection from source; the answers.
  std::vector<RawResponse> Pipelined(const std::vector<std::string>& targets,
                                     const std::string& source = "") {
    RawConnection connection;
    EXPECT_TRUE(connection.Connect(server_.Address(), 0, source));
    std::string batch;
    for (const auto& target : targets) batch += Request(target);
    EXPECT_TRUE(connection.Send(batch));
    std::vector<RawResponse> answers;
    for (size_t i = 0; i < targets.size(); ++i) answers.push_back(connection.Read(milliseconds(5000)));
    return answers;
  }

  int CurrentPart(const std::string& mid) {
    const auto answers = Pipelined({"/resume?mid=" + mid + kMachine});
    const std::string& body = answers[0].body;
    const size_t at = body.find("\"current_part\": ");
    if (answers[0].status != 200 || at == std::string::npos) return -1;
    return std::atoi(body.c_str() + at + 16);
  }

  Sandbox box_;
  ServerProcess server_;
  std::string db_;
};

TEST_F(ServerReportsTest, ReportsPerAddressAreLimitedByDefault) {
  Start();
  std::vector<std::string> targets;
  for (int i = 1; i <= 50; ++i) targets.push_back(Report("flood", i));
  const auto answers = Pipelined(targets);
  int stored = 0;
  int refused = 0;
  for (const auto& answer : answers) {
    if (answer.status == 200) ++stored;
    if (answer.status == 429) {
      ++refused;
      EXPECT_GE(std::atoi(answer.Header("retry-after").c_str()), 1);
    }
  }
  // A burst of 40, and what 20 a second adds while they are answered.
  EXPECT_GE(stored, 40);
  EXPECT_LE(stored, 45);
  EXPECT_EQ(stored + refused, 50);
  EXPECT_EQ(ReadEvents(db_).size(), static_cast<size_t>(stored));
  // Parts and pages are not reports: still served to that address.
  EXPECT_EQ(Pipelined({"/tovi/parte1", "/parts/ToviSetup.exe"})[1].status, 200);
}

TEST_F(ServerReportsTest, TheLimitIsATokenBucketPerAddress) {
  Start({"--report-rate", "2", "--report-burst", "3"});
  auto statuses = [this](int count, const std::string& source) {
    std::vector<std::string> targets;
    for (int i = 0; i < count; ++i) targets.push_back(Report("bucket" + source, i));
    std::vector<int> out;
    for (const auto& answer : Pipelined(targets, source)) out.push_back(answer.status);
    return out;
  };
  EXPECT_EQ(statuses(4, "127.0.0.1"), (std::vector<int>{200, 200, 200, 429}));
  // Another address has a bucket of its own.
  EXPECT_EQ(statuses(3, "127.0.0.2"), (std::vector<int>{200, 200, 200}));
  // Refilled at 2 a second: one more after half a second.
  std::this_thread::sleep_for(milliseconds(600));
  EXPECT_EQ(statuses(2, "127.0.0.1"), (std::vector<int>{200, 429}));
  EXPECT_EQ(ReadEvents(db_).size(), 7u);
}

TEST_F(ServerReportsTest, RateZeroMeansNoLimit) {
  Start({"--report-rate", "0"});
  std::vector<std::string> targets;
  for (int i = 0; i < 100; ++i) targets.push_back(Report("free", i));
  for (const auto& answer : Pipelined(targets)) EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(ReadEvents(db_).size(), 100u);
}

// 10^5 finish and resume rows after a machine's last update: /resume finds
// the update with one lookup in the index of progress rows.
constexpr int kRows = 100000;

TEST_F(ServerReportsTest, ResumeIsOneIndexedLookupOnSqlite) {
  Start();
  ASSERT_EQ(Pipelined({"/start?mid=busy" + kMachine, Report("busy", 10, 2)})[1].status, 200);
  ASSERT_EQ(SqliteExec(db_, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                                std::to_string(kRows) +
                                ") INSERT INTO events (time, mid, game, distributor, event, bytes)"
                                " SELECT '2026-01-01T00:00:00.000Z', CAST('busy' AS BLOB), '29', '0',"
                                " CASE i % 2 WHEN 0 THEN 'finish' ELSE 'resume' END, i FROM n;"
                                "ANALYZE;"),
            "");
  const auto plan = SqliteRows(db_, std::string("EXPLAIN QUERY PLAN ") + kSqliteLastReportedPart);
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_NE(plan[0].find("USING INDEX events_progress"), std::string::npos) << plan[0];
  EXPECT_EQ(plan[0].find("TEMP B-TREE"), std::string::npos) << plan[0];

  // And fast in fact, with a bound no busy machine reaches.
  const auto began = Clock::now();
  for (int i = 0; i < 20; ++i) ASSERT_EQ(CurrentPart("busy"), 2);
  EXPECT_LT(Clock::now() - began, milliseconds(4000));
}

TEST_F(ServerReportsTest, ResumeIsOneIndexedLookupOnPostgres) {
  PostgresCluster& cluster = PostgresCluster::Shared();
  if (!cluster.Available()) GTEST_SKIP() << "PostgreSQL tests skipped: " << cluster.Reason();
  const std::string conninfo = cluster.NewDatabase();
  ASSERT_FALSE(conninfo.empty());
  Start({}, conninfo);
  ASSERT_EQ(Pipelined({"/start?mid=busy" + kMachine, Report("busy", 10, 2)})[1].status, 200);
  PostgresRows(conninfo,
               "INSERT INTO events (time, mid, game, distributor, event, bytes)"
               " SELECT '2026-01-01T00:00:00.000Z', 'busy'::bytea, '29', '0',"
               " CASE i % 2 WHEN 0 THEN 'finish' ELSE 'resume' END, i"
               " FROM generate_series(1, " + std::to_string(kRows) + ") AS i");
  PostgresRows(conninfo, "ANALYZE events");
  // The server's statement with its parameters written in.
  std::string statement = kPostgresLastReportedPart;
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"$1", "'busy'::bytea"},
                                 {"$2", "'29'"},
                                 {"$3", "'0'"}}) {
    statement.replace(statement.find(from), from.size(), to);
  }
  std::string plan;
  for (const auto& line : PostgresRows(conninfo, "EXPLAIN " + statement)) plan += line + "\n";
  EXPECT_NE(plan.find("events_progress"), std::string::npos) << plan;
  const auto began = Clock::now();
  for (int i = 0; i < 20; ++i) ASSERT_EQ(CurrentPart("busy"), 2);
  EXPECT_LT(Clock::now() - began, milliseconds(4000));
}

TEST_F(ServerReportsTest, SqliteIdentifiersAreBlobsAndATextDatabaseIsMigrated) {
  // A database as the server made it before: the identifier as TEXT, one
  // identifier that is not UTF-8.
  const std::string db = box_.Path("old.sqlite3");
  ASSERT_EQ(SqliteExec(db,
                       "CREATE TABLE events (id INTEGER PRIMARY KEY, time TEXT NOT NULL,"
                       " mid TEXT NOT NULL, game TEXT NOT NULL, distributor TEXT NOT NULL,"
                       " event TEXT NOT NULL, bytes INTEGER, current_part INTEGER);"
                       "CREATE INDEX events_by_machine ON events (mid, game, distributor, id);"
                       "INSERT INTO events (time, mid, game, distributor, event, bytes, current_part)"
                       " VALUES ('t', 'old', '29', '0', 'update', 5, 1),"
                       " ('t', CAST(X'FF00FE41' AS TEXT), '29', '0', 'update', 6, 2);"),
            "");
  Start({}, db);
  EXPECT_EQ(SqliteRows(db, "SELECT typeof(mid), hex(mid) FROM events ORDER BY id"),
            (std::vector<std::string>{"blob|6F6C64", "blob|FF00FE41"}));
  // The old rows answer /resume as before.
  EXPECT_EQ(CurrentPart("old"), 1);
  EXPECT_EQ(CurrentPart("%FF%00%FEA"), -1);  // a NUL is refused in an identifier
  EXPECT_EQ(Pipelined({Report("%FF%FE", 7, 2)})[0].status, 200);
  EXPECT_EQ(CurrentPart("%FF%FE"), 2);
  EXPECT_EQ(SqliteRows(db, "SELECT typeof(mid), hex(mid) FROM events WHERE bytes = 7"),
            (std::vector<std::string>{"blob|FFFE"}));
  EXPECT_EQ(SqliteRows(db, "SELECT count(*) FROM sqlite_master WHERE name = 'events_progress'"),
            (std::vector<std::string>{"1"}));
  // Started again, it finds nothing to migrate and keeps every row.
  EXPECT_EQ(server_.Stop(), 0);
  Start({}, db);
  EXPECT_EQ(SqliteRows(db, "SELECT count(*) FROM events"), (std::vector<std::string>{"5"}));
}

}  // namespace

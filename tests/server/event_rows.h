// Hand-made event rows written straight into a store's events table, each
// with its own time, as the server would have stored them over days.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Row {
  std::string time;  // "YYYY-MM-DDTHH:MM:SS.mmmZ"
  std::string mid;
  std::string event;
  std::optional<int64_t> part;
};

// Appends rows in order (game 29, distributor 0, bytes 1000) to the events
// table of db, an SQLite path or a PostgreSQL connection string. False, with
// a test failure added, when it cannot.
bool InsertEventRows(const std::string& db, const std::vector<Row>& rows);

// Runs sql (no result rows) on db; false, with a test failure added, when it fails.
bool ExecSql(const std::string& db, const std::string& sql);

#include "server/server_test_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>

std::vector<EventRow> ReadEvents(const std::string& dbPath) {
  std::vector<EventRow> rows;
  sqlite3* raw = nullptr;
  if (sqlite3_open_v2(dbPath.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(raw);
    ADD_FAILURE() << "cannot open " << dbPath;
    return rows;
  }
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, sqlite3_close);
  sqlite3_busy_timeout(db.get(), 5000);
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db.get(),
                         "SELECT event, mid, game, distributor, bytes, current_part, time"
                         " FROM events ORDER BY id",
                         -1, &statement, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sqlite3_errmsg(db.get());
    return rows;
  }
  std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> owned(statement, sqlite3_finalize);
  auto text = [statement](int column) {
    const auto* value = sqlite3_column_text(statement, column);
    return value ? std::string(reinterpret_cast<const char*>(value),
                               static_cast<size_t>(sqlite3_column_bytes(statement, column)))
                 : std::string();
  };
  auto number = [statement](int column) -> std::optional<int64_t> {
    if (sqlite3_column_type(statement, column) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_int64(statement, column);
  };
  while (sqlite3_step(statement) == SQLITE_ROW) {
    EXPECT_FALSE(text(6).empty());
    rows.push_back({text(0), text(1), text(2), text(3), number(4), number(5)});
  }
  return rows;
}

std::string Pattern(size_t size, int seed) {
  std::string bytes(size, '\0');
  for (size_t j = 0; j < size; ++j) bytes[j] = static_cast<char>((j * 31 + seed * 7) & 0xFF);
  return bytes;
}

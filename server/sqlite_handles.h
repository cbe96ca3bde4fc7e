// Owning handles for SQLite's databases and statements.
#pragma once

#include <sqlite3.h>

#include <memory>

struct SqliteStatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteStatementFinalizer>;

struct SqliteDatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using SqliteDatabase = std::unique_ptr<sqlite3, SqliteDatabaseCloser>;

// Owning handles for libpq's connections and results.
#pragma once

#include <libpq-fe.h>

#include <memory>

struct PgConnectionCloser {
  void operator()(PGconn* connection) const { PQfinish(connection); }
};
using PgConnection = std::unique_ptr<PGconn, PgConnectionCloser>;

struct PgResultClear {
  void operator()(PGresult* result) const { PQclear(result); }
};
using PgResult = std::unique_ptr<PGresult, PgResultClear>;

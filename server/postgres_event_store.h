// The event store in a PostgreSQL database, shared by several servers. The
// machine identifier is kept as bytes (bytea), since it may hold bytes that
// are not text in the database's encoding.
#pragma once

#include <memory>
#include <string>

#include "server/event_store.h"

// The statement /resume runs (for a test of its plan).
extern const char* const kPostgresLastReportedPart;

// connections: how many connections run queries at once (opened as needed).
// Every call, waiting for a free connection included, ends within about
// timeoutMs; the server is told the same statement_timeout.
std::unique_ptr<EventStore> OpenPostgresEventStore(const std::string& conninfo, int connections,
                                                   int timeoutMs, std::string& error);

// The event store in a PostgreSQL database, shared by several servers. The
// machine identifier is kept as bytes (bytea), since it may hold bytes that
// are not text in the database's encoding.
#pragma once

#include <memory>
#include <string>

#include "server/event_store.h"

// connections: how many connections run queries at once (opened as needed).
std::unique_ptr<EventStore> OpenPostgresEventStore(const std::string& conninfo, int connections,
                                                   std::string& error);

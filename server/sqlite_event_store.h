// The event store in an SQLite file (the default): one connection behind a
// lock, the write-ahead log so readers can look while the server writes.
#pragma once

#include <memory>
#include <string>

#include "server/event_store.h"

// The statement /resume runs (for a test of its plan).
extern const char* const kSqliteLastReportedPart;

// Every call waits at most timeoutMs for a lock another process holds.
std::unique_ptr<EventStore> OpenSqliteEventStore(const std::string& path, int timeoutMs,
                                                 std::string& error);

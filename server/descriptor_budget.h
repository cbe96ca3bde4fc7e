// File descriptors: every connection holds a socket and, while a part is
// sent, the part's file; the engine, the store and the parts listing hold a
// few more. At start-up the soft limit is raised to the hard one, and when
// --max-connections does not fit in it, it is lowered to what fits (and
// standard error says so), so that the server answers 503 past the limit
// rather than failing to open a part or to accept.
#pragma once

#include <cstdint>

struct DescriptorBudget {
  int64_t limit = 0;        // the process's soft limit after raising it
  int maxConnections = 0;   // what fits (not above the one asked for)
  bool lowered = false;     // less than asked for
};

// The descriptors the server needs besides its connections: standard
// streams, listening socket, the engine's per-thread event and wake-up
// descriptors, database connections (SQLite's file, journal and shared
// memory), a parts listing and a hash in progress, and a margin.
int64_t FixedDescriptors(int threads, int dbConnections);

// Descriptors for connections connections: a socket and a part file each,
// and a socket each for the connections the engine accepts past the limit
// to answer them 503 (refusalSlots).
int64_t ConnectionDescriptors(int64_t connections, int refusalSlots);

// The budget for a soft limit of limit descriptors.
DescriptorBudget FitConnections(int64_t limit, int maxConnections, int threads,
                                int dbConnections, int refusalSlots);

// Raises the soft limit to the hard one; the soft limit then (0 when unknown).
int64_t RaiseDescriptorLimit();

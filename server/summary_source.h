// Where the dashboard reads its figures and the raw events: the event
// store's own database, through a connection of its own, so a slow page
// never holds up the statistics requests.
//
// Opening it keeps a table of downloads beside the events (one row per start,
// with its finish, pauses, resumes, last part and latest event), filled once
// from the events already stored and then kept up to date by the database
// itself as each event is inserted, whoever inserts it. The figures of a
// period then read that table instead of every event.
//
// Callers: the dashboard's work, on the HTTP engine's store thread for the
// publisher's reads; one call at a time per source (the source serialises
// them).
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/summary.h"

// One stored event as the CSV export lists it.
struct EventLine {
  int64_t id = 0;
  std::string time;
  std::string mid;
  std::string game;
  std::string distributor;
  std::string event;
  std::optional<int64_t> bytes;
  std::optional<int64_t> currentPart;
};

// Where an export has got to: events are listed by time, then id.
struct EventCursor {
  std::string time;
  int64_t id = 0;
};

class SummarySource {
 public:
  virtual ~SummarySource() = default;

  // The rows of the period's figures; now decides which machines are active.
  // False, with the reason in error, on a database error.
  [[nodiscard]] virtual bool ReadRows(const SummaryPeriod& period, std::time_t now,
                                      SummaryRows& rows, std::string& error) = 0;

  // Up to limit events of the period after cursor, in order; cursor moves to
  // the last one returned. Fewer than limit: the period has no more.
  [[nodiscard]] virtual bool ReadEvents(const SummaryPeriod& period, EventCursor& cursor, int limit,
                                        std::vector<EventLine>& lines, std::string& error) = 0;

  // For the server's stop, from another thread: a call in progress ends soon
  // with false, and so does every later one.
  virtual void Interrupt() = 0;
};

// Opens the source for db (an SQLite path or a PostgreSQL connection string,
// as the event store takes), creating the downloads table, its upkeep and an
// index of events by time when they are missing. Null, with the reason in
// error, when it cannot.
std::unique_ptr<SummarySource> OpenSummarySource(const std::string& db, std::string& error);

// The whole summary of a period, read through source.
[[nodiscard]] bool ReadSummary(SummarySource& source, const SummaryPeriod& period, std::time_t now,
                               DashboardSummary& summary, std::string& error);

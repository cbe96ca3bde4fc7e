// The events the statistics requests report, kept in an SQLite file or a
// PostgreSQL database. Both hold the same table and give the same answers,
// so several servers can share one PostgreSQL database. Request handlers run
// on several threads at once; a store serves them all.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct StatsEvent {
  std::string event;  // "start", "resume", "pause", "update" or "finish"
  std::string mid;    // any bytes but zero, stored exactly
  std::string game;
  std::string distributor;
  std::optional<int64_t> bytes;
  std::optional<int32_t> currentPart;
};

class EventStore {
 public:
  virtual ~EventStore() = default;

  // Appends one event with the current time. Values are bound, never pasted
  // into the statement text.
  [[nodiscard]] virtual bool Record(const StatsEvent& event) = 0;

  // The part of the machine's latest pause or update report since its latest
  // start; 0 when there is none. One indexed query. False on a database
  // error.
  [[nodiscard]] virtual bool LastReportedPart(const std::string& mid, const std::string& game,
                                              const std::string& distributor, int64_t& part) = 0;

  // Closes the store once the server has stopped; later calls fail.
  virtual void Close() = 0;

  // The server is stopping: a call waiting for the database returns false
  // at once, and so does every later call. Safe from any thread.
  virtual void Interrupt() {}
};

// True when db names a PostgreSQL database: a connection URI
// ("postgresql://..." or "postgres://...") or a keyword string holding
// "dbname=", "host=" or "service=". Anything else is an SQLite file path.
bool IsPostgresConnectionString(const std::string& db);

// Opens (creating the table and its index when missing) the store db names.
// connections bounds how many PostgreSQL connections run queries at once.
// Every call returns within about timeoutMs, false when the database did not
// answer by then (a lock held elsewhere, a database that hangs or cannot be
// reached). Null, with the reason in error, when it cannot.
std::unique_ptr<EventStore> OpenEventStore(const std::string& db, int connections, int timeoutMs,
                                           std::string& error);

// "YYYY-MM-DDTHH:MM:SS.mmmZ" in UTC, the form of the time column.
std::string UtcTimestamp();

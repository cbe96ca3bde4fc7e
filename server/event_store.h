// The events the statistics requests report, kept in an SQLite database.
// Request handlers run on several threads at once; every call here takes the
// store's lock, so one store serves them all.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

struct sqlite3;

struct StatsEvent {
  std::string event;  // "start", "resume", "pause", "update" or "finish"
  std::string mid;
  std::string game;
  std::string distributor;
  std::optional<int64_t> bytes;
  std::optional<int32_t> currentPart;
};

class EventStore {
 public:
  EventStore();
  ~EventStore();
  EventStore(const EventStore&) = delete;
  EventStore& operator=(const EventStore&) = delete;

  // Opens or creates the database at path and its table. False, with the
  // reason in error, when it cannot.
  [[nodiscard]] bool Open(const std::string& path, std::string& error);

  // Closes the database; later calls fail. Called once the server has
  // stopped, so the write-ahead log is folded back into the file.
  void Close();

  // Appends one event with the current time. Values are bound, never pasted
  // into the statement text.
  [[nodiscard]] bool Record(const StatsEvent& event);

  // The part of the machine's latest pause or update report since its latest
  // start; 0 when there is none. False on a database error.
  [[nodiscard]] bool LastReportedPart(const std::string& mid, const std::string& game,
                                      const std::string& distributor, int64_t& part);

 private:
  struct Closer {
    void operator()(sqlite3* db) const;
  };
  std::mutex lock_;
  std::unique_ptr<sqlite3, Closer> db_;
};

// "YYYY-MM-DDTHH:MM:SS.mmmZ" in UTC, the form of the time column.
std::string UtcTimestamp();

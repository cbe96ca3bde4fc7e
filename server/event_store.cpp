#include "server/event_store.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "server/postgres_event_store.h"
#include "server/sqlite_event_store.h"

bool IsPostgresConnectionString(const std::string& db) {
  if (db.rfind("postgresql://", 0) == 0 || db.rfind("postgres://", 0) == 0) return true;
  for (const char* key : {"dbname=", "host=", "service="}) {
    const size_t at = db.find(key);
    if (at != std::string::npos && (at == 0 || db[at - 1] == ' ')) return true;
  }
  return false;
}

std::unique_ptr<EventStore> OpenEventStore(const std::string& db, int connections, int timeoutMs,
                                           std::string& error) {
  if (IsPostgresConnectionString(db)) {
    return OpenPostgresEventStore(db, connections, timeoutMs, error);
  }
  return OpenSqliteEventStore(db, timeoutMs, error);
}

std::string UtcTimestamp() {
  const auto now = std::chrono::system_clock::now();
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(millis % 1000));
  return text;
}

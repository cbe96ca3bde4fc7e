// The statements the summary source runs, shared by SQLite and PostgreSQL.
// Parameters are written $1, $2, ...; the SQLite source turns them into ?1,
// ?2, .... Times are the events table's text ("YYYY-MM-DDTHH:MM:SS.mmmZ"),
// which sorts as the times do, and a bare "YYYY-MM-DD" sorts before every
// time of that day.
#pragma once

#include <string>

namespace summary_sql {

// The downloads table's rows are made and changed only by the upkeep below
// (or the first fill), so they always say what the events say. id is the id
// of the start event; the counts and the last part stop at the first finish;
// latest is 1 for a machine's latest download, 0 once it started again.
inline std::string DownloadsTable(const char* idType, const char* midType) {
  return std::string("CREATE TABLE downloads ( id ") + idType +
         " PRIMARY KEY,"
         " mid " +
         midType +
         " NOT NULL,"
         " game TEXT NOT NULL,"
         " distributor TEXT NOT NULL,"
         " started_at TEXT NOT NULL,"
         " finished_at TEXT,"
         " duration_ms BIGINT,"
         " pauses BIGINT NOT NULL DEFAULT 0,"
         " resumes BIGINT NOT NULL DEFAULT 0,"
         " last_part BIGINT,"
         " last_event_at TEXT NOT NULL,"
         " latest SMALLINT NOT NULL DEFAULT 1);";
}

// Each figure's query reads one of these: the unfinished downloads that are
// their machine's latest are few, and have indexes of their own. The finish
// index leaves out the unfinished ones, or a planner without statistics
// would look for "finished_at IS NULL" in it and visit every unfinished row.
constexpr const char* kIndexes =
    "CREATE INDEX IF NOT EXISTS downloads_by_machine ON downloads (mid, game, distributor, id);"
    "CREATE INDEX IF NOT EXISTS downloads_by_start ON downloads (started_at);"
    "CREATE INDEX IF NOT EXISTS downloads_by_finish"
    " ON downloads (finished_at, duration_ms, pauses, resumes) WHERE finished_at IS NOT NULL;"
    "CREATE INDEX IF NOT EXISTS downloads_open_by_start ON downloads (started_at, last_event_at,"
    " last_part) WHERE finished_at IS NULL AND latest = 1;"
    "CREATE INDEX IF NOT EXISTS downloads_open_by_last_event ON downloads (last_event_at)"
    " WHERE finished_at IS NULL AND latest = 1;"
    "CREATE INDEX IF NOT EXISTS events_by_time ON events (time, id);";

// After the first fill: every download but a machine's last is not latest.
constexpr const char* kMarkSuperseded =
    "UPDATE downloads SET latest = 0 WHERE EXISTS (SELECT 1 FROM downloads n"
    " WHERE n.mid = downloads.mid AND n.game = downloads.game"
    " AND n.distributor = downloads.distributor AND n.id > downloads.id)";

// Fills the downloads table from the events already stored: each event
// belongs to the latest start of its machine at or before it; events before
// a machine's first start belong to no download. durationMs is the store's
// expression for the milliseconds from s.time to f.time.
inline std::string FillDownloads(const std::string& durationMs) {
  return "WITH tagged AS ("
         "  SELECT id, event, time, current_part,"
         "   MAX(CASE WHEN event = 'start' THEN id END)"
         "    OVER (PARTITION BY mid, game, distributor ORDER BY id) AS download"
         "  FROM events),"
         " ends AS ("
         "  SELECT download, MIN(id) FILTER (WHERE event = 'finish') AS finish_id"
         "  FROM tagged WHERE download IS NOT NULL GROUP BY download),"
         " counted AS ("
         "  SELECT t.download,"
         "   COUNT(*) FILTER (WHERE t.event = 'pause'"
         "    AND (e.finish_id IS NULL OR t.id < e.finish_id)) AS pauses,"
         "   COUNT(*) FILTER (WHERE t.event = 'resume'"
         "    AND (e.finish_id IS NULL OR t.id < e.finish_id)) AS resumes,"
         "   MAX(t.id) FILTER (WHERE t.event IN ('pause', 'update')"
         "    AND (e.finish_id IS NULL OR t.id < e.finish_id)) AS report_id,"
         "   MAX(t.time) AS last_event_at"
         "  FROM tagged t JOIN ends e ON e.download = t.download GROUP BY t.download)"
         " INSERT INTO downloads (id, mid, game, distributor, started_at, finished_at,"
         "  duration_ms, pauses, resumes, last_part, last_event_at)"
         " SELECT s.id, s.mid, s.game, s.distributor, s.time, f.time, " +
         durationMs +
         ", c.pauses, c.resumes, r.current_part, c.last_event_at"
         " FROM counted c JOIN ends e ON e.download = c.download"
         " JOIN events s ON s.id = c.download"
         " LEFT JOIN events f ON f.id = e.finish_id"
         " LEFT JOIN events r ON r.id = c.report_id";
}

// The change one event makes to its machine's latest download (the upkeep,
// with NEW the inserted event). maxTime is the store's two-argument maximum.
inline std::string FollowDownload(const std::string& durationMs, const char* maxTime) {
  return std::string(
             "UPDATE downloads SET"
             " last_event_at = ") +
         maxTime +
         "(last_event_at, NEW.time),"
         " pauses = pauses + CASE WHEN NEW.event = 'pause' AND finished_at IS NULL"
         "  THEN 1 ELSE 0 END,"
         " resumes = resumes + CASE WHEN NEW.event = 'resume' AND finished_at IS NULL"
         "  THEN 1 ELSE 0 END,"
         " last_part = CASE WHEN NEW.event IN ('pause', 'update') AND finished_at IS NULL"
         "  THEN NEW.current_part ELSE last_part END,"
         " duration_ms = CASE WHEN NEW.event = 'finish' AND finished_at IS NULL"
         "  THEN " +
         durationMs +
         " ELSE duration_ms END,"
         " finished_at = CASE WHEN NEW.event = 'finish' AND finished_at IS NULL"
         "  THEN NEW.time ELSE finished_at END"
         " WHERE id = (SELECT MAX(id) FROM downloads WHERE mid = NEW.mid"
         "  AND game = NEW.game AND distributor = NEW.distributor)";
}

// A start: the machine's download so far is no longer its latest.
constexpr const char* kStartDownload =
    "UPDATE downloads SET latest = 0 WHERE mid = NEW.mid AND game = NEW.game"
    " AND distributor = NEW.distributor AND latest = 1;"
    "INSERT INTO downloads (id, mid, game, distributor, started_at, last_event_at)"
    " VALUES (NEW.id, NEW.mid, NEW.game, NEW.distributor, NEW.time, NEW.time)";

// $1, $2: the period's first day and the day after its last.
constexpr const char* kStartedByDay =
    "SELECT substr(started_at, 1, 10) AS day, COUNT(*) FROM downloads"
    " WHERE started_at >= $1 AND started_at < $2 GROUP BY day";

constexpr const char* kFinished =
    "SELECT substr(finished_at, 1, 10), duration_ms, pauses, resumes FROM downloads"
    " WHERE finished_at >= $1 AND finished_at < $2";

// A machine's download is unfinished when no later start followed it and it
// has no finish; it has stopped when its latest event is older than $3.
constexpr const char* kStops =
    "SELECT last_part, COUNT(*) FROM downloads"
    " WHERE started_at >= $1 AND started_at < $2 AND finished_at IS NULL AND latest = 1"
    " AND last_event_at < $3 GROUP BY last_part";

// $1: the oldest time that still counts as now.
constexpr const char* kActive =
    "SELECT COUNT(*) FROM downloads"
    " WHERE last_event_at >= $1 AND finished_at IS NULL AND latest = 1";

// $1, $2: the period; $3, $4: the cursor's time and id; $5: how many.
constexpr const char* kEvents =
    "SELECT id, time, mid, game, distributor, event, bytes, current_part FROM events"
    " WHERE time >= $1 AND time < $2 AND (time, id) > ($3, $4)"
    " ORDER BY time, id LIMIT $5";

}  // namespace summary_sql

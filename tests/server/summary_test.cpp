// The dashboard's figures on small hand-made event tables, on SQLite and on
// PostgreSQL, with the downloads table filled from events already stored and
// kept up as events arrive. Each expected figure is worked out by hand in
// the comments beside the table.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/dashboard_page.h"
#include "server/event_rows.h"
#include "server/event_store.h"
#include "server/postgres_cluster.h"
#include "server/summary_period.h"
#include "server/summary_source.h"
#include "support/sandbox.h"

namespace {

// "Now" is 2026-12-10 12:00:00 UTC; the period 2026-12-08 to 2026-12-10.
constexpr const char* kNow = "2026-12-10";
const std::time_t kNowSeconds = [] {
  std::time_t midnight = 0;
  if (!ParseDay(kNow, midnight)) return std::time_t{0};
  return midnight + 12 * 3600;
}();

// In time order, so ids follow the times as they do in a live store.
const std::vector<Row> kTable = {
    // E started the day before the period and finished on its first day:
    // 23:00 -> 00:30, 5400 s, no pause.
    {"2026-12-07T23:00:00.000Z", "E", "start", {}},
    {"2026-12-08T00:30:00.000Z", "E", "finish", {}},
    // A: a download with two pauses and two resumes, finished the next day:
    // 12-08 10:00 -> 12-09 09:40 is 23 h 40 min, 85200 s. The second finish
    // is a repeat and changes nothing.
    {"2026-12-08T10:00:00.000Z", "A", "start", {}},
    {"2026-12-08T10:05:00.000Z", "A", "update", 0},
    {"2026-12-08T10:10:00.000Z", "A", "pause", 1},
    {"2026-12-08T18:00:00.000Z", "A", "resume", 1},
    {"2026-12-08T18:20:00.000Z", "A", "pause", 2},
    // F never started: its events belong to no download.
    {"2026-12-09T06:00:00.000Z", "F", "update", 5},
    {"2026-12-09T06:10:00.000Z", "F", "finish", {}},
    // B never finishes and stopped at part 2 (its last update or pause).
    {"2026-12-09T08:00:00.000Z", "B", "start", {}},
    {"2026-12-09T08:10:00.000Z", "B", "update", 0},
    {"2026-12-09T08:20:00.000Z", "B", "update", 1},
    {"2026-12-09T08:30:00.000Z", "B", "update", 2},
    {"2026-12-09T08:35:00.000Z", "B", "pause", 2},
    {"2026-12-09T09:00:00.000Z", "A", "resume", 2},
    {"2026-12-09T09:30:00.000Z", "A", "update", 3},
    {"2026-12-09T09:40:00.000Z", "A", "finish", {}},
    {"2026-12-09T09:41:00.000Z", "A", "finish", {}},
    // C started twice: the first download is left at part 1, the second
    // finishes in 30 min (1800 s). Only the second one's time counts, and the
    // first is no stop, since the machine went on.
    {"2026-12-09T20:00:00.000Z", "C", "start", {}},
    {"2026-12-09T20:10:00.000Z", "C", "update", 1},
    {"2026-12-10T07:00:00.000Z", "C", "start", {}},
    {"2026-12-10T07:30:00.000Z", "C", "finish", {}},
    // G started and reported nothing: a stop before any part.
    {"2026-12-10T09:00:00.000Z", "G", "start", {}},
    // D runs now (an event 2 minutes ago): active, not a stop.
    {"2026-12-10T11:55:00.000Z", "D", "start", {}},
    {"2026-12-10T11:58:00.000Z", "D", "update", 0},
};

// Worked out from the table:
//   12-08: started A                 = 1; finished E         = 1; rate 1
//   12-09: started B, C(first)       = 2; finished A         = 1; rate 0.5
//   12-10: started C(second), G, D   = 3; finished C         = 1; rate 1/3
//   in all 6 started, 3 finished, rate 0.5.
//   Finish times 1800, 5400, 85200 s: median 5400; 90th percentile, the
//   value of rank ceil(0.9 * 3) = 3: 85200. Bars: 30-60 min, 1-2 h, 6-24 h.
//   Pauses 0, 2, 0 and resumes 0, 2, 0: medians 0; one of three resumed.
//   Stopped: B at part 2, G before any part; active now: D.
void ExpectHandFigures(const DashboardSummary& s) {
  ASSERT_EQ(s.days.size(), 3u);
  const struct {
    const char* date;
    int64_t started, finished;
    double rate;
  } kDays[] = {{"2026-12-08", 1, 1, 1.0}, {"2026-12-09", 2, 1, 0.5}, {"2026-12-10", 3, 1, 1.0 / 3}};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(kDays[i].date);
    EXPECT_EQ(s.days[i].date, kDays[i].date);
    EXPECT_EQ(s.days[i].started, kDays[i].started);
    EXPECT_EQ(s.days[i].finished, kDays[i].finished);
    ASSERT_TRUE(s.days[i].completionRate.has_value());
    EXPECT_DOUBLE_EQ(*s.days[i].completionRate, kDays[i].rate);
  }
  EXPECT_EQ(s.started, 6);
  EXPECT_EQ(s.finished, 3);
  EXPECT_DOUBLE_EQ(s.completionRate.value_or(-1), 0.5);

  EXPECT_DOUBLE_EQ(s.medianFinishSeconds.value_or(-1), 5400);
  EXPECT_DOUBLE_EQ(s.p90FinishSeconds.value_or(-1), 85200);
  std::vector<std::pair<std::string, int64_t>> bars;
  for (const auto& bar : s.finishTimes) {
    if (bar.count != 0) bars.emplace_back(bar.label, bar.count);
  }
  const std::vector<std::pair<std::string, int64_t>> kBars = {
      {"30-60 min", 1}, {"1-2 h", 1}, {"6-24 h", 1}};
  EXPECT_EQ(bars, kBars);

  EXPECT_DOUBLE_EQ(s.medianPauses.value_or(-1), 0);
  EXPECT_DOUBLE_EQ(s.medianResumes.value_or(-1), 0);
  EXPECT_DOUBLE_EQ(s.resumedShare.value_or(-1), 1.0 / 3);

  EXPECT_EQ(s.unfinished, 2);
  ASSERT_EQ(s.stops.size(), 2u);
  EXPECT_FALSE(s.stops[0].part.has_value());
  EXPECT_EQ(s.stops[0].count, 1);
  EXPECT_EQ(s.stops[1].part.value_or(-1), 2);
  EXPECT_EQ(s.stops[1].count, 1);
  EXPECT_EQ(s.activeMachines, 1);
}

enum class Store { kSqlite, kPostgres };
enum class Fill { kFromStoredEvents, kAsEventsArrive };

struct Param {
  Store store;
  Fill fill;
};

class SummaryStoreTest : public testing::TestWithParam<Param> {
 protected:
  void SetUp() override {
    if (GetParam().store == Store::kPostgres) {
      PostgresCluster& cluster = PostgresCluster::Shared();
      if (!cluster.Available()) GTEST_SKIP() << "PostgreSQL tests skipped: " << cluster.Reason();
      db_ = cluster.NewDatabase();
      ASSERT_FALSE(db_.empty());
    } else {
      db_ = box_.Path("events.sqlite3");
    }
    std::string error;
    store_ = OpenEventStore(db_, 2, 5000, error);
    ASSERT_TRUE(store_) << error;
  }
  void TearDown() override {
    if (store_) store_->Close();
  }

  // Stores rows before or after the source opens, as the test's fill says.
  std::unique_ptr<SummarySource> OpenWith(const std::vector<Row>& rows) {
    std::string error;
    std::unique_ptr<SummarySource> source;
    if (GetParam().fill == Fill::kAsEventsArrive) {
      source = OpenSummarySource(db_, error);
      EXPECT_TRUE(source) << error;
    }
    EXPECT_TRUE(InsertEventRows(db_, rows));
    if (!source) source = OpenSummarySource(db_, error);
    EXPECT_TRUE(source) << error;
    return source;
  }

  DashboardSummary Summarize(SummarySource& source, const SummaryPeriod& period) {
    DashboardSummary summary;
    std::string error;
    EXPECT_TRUE(ReadSummary(source, period, kNowSeconds, summary, error)) << error;
    return summary;
  }

  Sandbox box_;
  std::string db_;
  std::unique_ptr<EventStore> store_;
};

TEST_P(SummaryStoreTest, FiguresOfTheHandMadeTable) {
  auto source = OpenWith(kTable);
  ASSERT_TRUE(source);
  ExpectHandFigures(Summarize(*source, {"2026-12-08", kNow}));
}

TEST_P(SummaryStoreTest, EventsStoredWhileTheUpkeepWasGoneAreCountedAgain) {
  // Rebuilding the events table (a migration) drops its triggers; events
  // stored after that must still count once the source opens again.
  const std::vector<Row> first(kTable.begin(), kTable.begin() + 12);
  const std::vector<Row> rest(kTable.begin() + 12, kTable.end());
  ASSERT_TRUE(OpenWith(first));
  const bool postgres = GetParam().store == Store::kPostgres;
  ASSERT_TRUE(ExecSql(db_, postgres ? "DROP TRIGGER events_follow_download ON events"
                                    : "DROP TRIGGER events_follow_download;"
                                      "DROP TRIGGER events_start_download"));
  ASSERT_TRUE(InsertEventRows(db_, rest));
  std::string error;
  auto source = OpenSummarySource(db_, error);
  ASSERT_TRUE(source) << error;
  ExpectHandFigures(Summarize(*source, {"2026-12-08", kNow}));
}

TEST_P(SummaryStoreTest, ThePeriodBoundsWhatCounts) {
  auto source = OpenWith(kTable);
  ASSERT_TRUE(source);
  // 12-09 alone: started B and C's first; finished A (85200 s, 2 resumes).
  // B's stop counts (started that day); G's does not (started 12-10).
  const DashboardSummary day = Summarize(*source, {"2026-12-09", "2026-12-09"});
  ASSERT_EQ(day.days.size(), 1u);
  EXPECT_EQ(day.started, 2);
  EXPECT_EQ(day.finished, 1);
  EXPECT_DOUBLE_EQ(day.medianFinishSeconds.value_or(-1), 85200);
  EXPECT_DOUBLE_EQ(day.medianResumes.value_or(-1), 2);
  EXPECT_DOUBLE_EQ(day.resumedShare.value_or(-1), 1);
  ASSERT_EQ(day.stops.size(), 1u);
  EXPECT_EQ(day.stops[0].part.value_or(-1), 2);
  EXPECT_EQ(day.activeMachines, 1);  // now, whatever the period

  // A period with no events at all: zeros, and no figure made up.
  const DashboardSummary empty = Summarize(*source, {"2026-11-01", "2026-11-02"});
  EXPECT_EQ(empty.started, 0);
  EXPECT_FALSE(empty.completionRate.has_value());
  EXPECT_FALSE(empty.days[0].completionRate.has_value());
  EXPECT_FALSE(empty.medianFinishSeconds.has_value());
  EXPECT_FALSE(empty.resumedShare.has_value());
  EXPECT_TRUE(empty.stops.empty());
}

TEST_P(SummaryStoreTest, ActiveUntilTenMinutesOfSilenceOrAFinish) {
  // H: last event 10 min and 1 s ago -> stopped at part 4; I: 9 min ago ->
  // active; J: finished 1 min ago -> neither.
  auto source = OpenWith({
      {"2026-12-10T11:40:00.000Z", "H", "start", {}},
      {"2026-12-10T11:49:59.000Z", "H", "update", 4},
      {"2026-12-10T11:50:00.000Z", "I", "start", {}},
      {"2026-12-10T11:51:00.000Z", "I", "update", 0},
      {"2026-12-10T11:55:00.000Z", "J", "start", {}},
      {"2026-12-10T11:59:00.000Z", "J", "finish", {}},
  });
  ASSERT_TRUE(source);
  const DashboardSummary s = Summarize(*source, {kNow, kNow});
  EXPECT_EQ(s.activeMachines, 1);
  ASSERT_EQ(s.stops.size(), 1u);
  EXPECT_EQ(s.stops[0].part.value_or(-1), 4);
  EXPECT_DOUBLE_EQ(s.medianFinishSeconds.value_or(-1), 240);
  EXPECT_EQ(s.finishTimes[0].count, 1);  // "< 5 min"
}

TEST_P(SummaryStoreTest, ExportListsThePeriodsEventsInPages) {
  auto source = OpenWith(kTable);
  ASSERT_TRUE(source);
  // 12-09 holds 13 events of the table; pages of 5 give 5, 5, 3.
  EventCursor cursor;
  std::vector<EventLine> lines;
  std::string error;
  std::vector<size_t> pages;
  for (int page = 0; page < 10; ++page) {
    const size_t before = lines.size();
    ASSERT_TRUE(source->ReadEvents({"2026-12-09", "2026-12-09"}, cursor, 5, lines, error)) << error;
    pages.push_back(lines.size() - before);
    if (lines.size() - before < 5) break;
  }
  EXPECT_EQ(pages, (std::vector<size_t>{5, 5, 3}));
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines.front().time, "2026-12-09T06:00:00.000Z");
  EXPECT_EQ(lines.front().mid, "F");
  EXPECT_EQ(lines.front().event, "update");
  EXPECT_EQ(lines.front().currentPart.value_or(-1), 5);
  EXPECT_EQ(lines.front().bytes.value_or(-1), 1000);
  EXPECT_EQ(lines.back().time, "2026-12-09T20:10:00.000Z");
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_LT(lines[i - 1].time, lines[i].time);
}

std::string ParamName(const testing::TestParamInfo<Param>& info) {
  return std::string(info.param.store == Store::kPostgres ? "PostgreSQL" : "SQLite") +
         (info.param.fill == Fill::kAsEventsArrive ? "_AsEventsArrive" : "_FromStoredEvents");
}

INSTANTIATE_TEST_SUITE_P(Stores, SummaryStoreTest,
                         testing::Values(Param{Store::kSqlite, Fill::kFromStoredEvents},
                                         Param{Store::kSqlite, Fill::kAsEventsArrive},
                                         Param{Store::kPostgres, Fill::kFromStoredEvents},
                                         Param{Store::kPostgres, Fill::kAsEventsArrive}),
                         ParamName);

// The one number sql answers on the SQLite file db; -1 when it fails.
int64_t SqliteCount(const std::string& db, const char* sql) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2(db.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> c(raw, sqlite3_close);
  sqlite3_stmt* s = nullptr;
  int64_t count = -1;
  if (sqlite3_prepare_v2(c.get(), sql, -1, &s, nullptr) == SQLITE_OK &&
      sqlite3_step(s) == SQLITE_ROW) {
    count = sqlite3_column_int64(s, 0);
  }
  sqlite3_finalize(s);
  return count;
}

TEST(SummaryOfAMigratedStore, TextIdentifiersBecomeBlobsInTheDownloadsToo) {
  // A database of a server that stored the identifier as TEXT, with the
  // dashboard on: downloads table and triggers made on TEXT identifiers.
  Sandbox box;
  const std::string db = box.Path("old.sqlite3");
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
  const int made = sqlite3_exec(
      raw,
      "CREATE TABLE events (id INTEGER PRIMARY KEY, time TEXT NOT NULL, mid TEXT NOT NULL,"
      " game TEXT NOT NULL, distributor TEXT NOT NULL, event TEXT NOT NULL, bytes INTEGER,"
      " current_part INTEGER)",
      nullptr, nullptr, nullptr);
  sqlite3_close(raw);
  ASSERT_EQ(made, SQLITE_OK);
  const std::vector<Row> first(kTable.begin(), kTable.begin() + 12);
  const std::vector<Row> rest(kTable.begin() + 12, kTable.end());
  ASSERT_TRUE(InsertEventRows(db, first));
  ASSERT_TRUE(ExecSql(db, "UPDATE events SET mid = CAST(mid AS TEXT)"));
  std::string error;
  ASSERT_TRUE(OpenSummarySource(db, error)) << error;
  ASSERT_EQ(SqliteCount(db, "SELECT count(*) FROM downloads WHERE typeof(mid) = 'text'"), 3);

  // The server starts again: the identifiers become BLOBs, and the events
  // that follow carry BLOBs; A's finish must still end the download A began
  // before, B's updates must follow B's start.
  auto store = OpenEventStore(db, 1, 5000, error);
  ASSERT_TRUE(store) << error;
  ASSERT_TRUE(InsertEventRows(db, rest));
  auto source = OpenSummarySource(db, error);
  ASSERT_TRUE(source) << error;
  DashboardSummary summary;
  ASSERT_TRUE(ReadSummary(*source, {"2026-12-08", kNow}, kNowSeconds, summary, error)) << error;
  ExpectHandFigures(summary);
  EXPECT_EQ(SqliteCount(db, "SELECT count(*) FROM downloads WHERE typeof(mid) <> 'blob'"), 0);
  store->Close();
}

TEST(SummaryFigures, MedianAndNinetiethPercentile) {
  const struct {
    std::vector<double> values;
    double median, p90;
  } kCases[] = {
      {{7}, 7, 7},
      {{10, 20}, 15, 20},
      {{3, 1, 2}, 2, 3},
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 5.5, 9},
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 6, 10},
  };
  for (const auto& c : kCases) {
    EXPECT_DOUBLE_EQ(Median(c.values).value_or(-1), c.median);
    EXPECT_DOUBLE_EQ(NearestRankPercentile(c.values, 90).value_or(-1), c.p90);
  }
  EXPECT_FALSE(Median({}).has_value());
  EXPECT_FALSE(NearestRankPercentile({}, 90).has_value());
}

TEST(DashboardPageStops, ManyReportedPartsShareTheLastBar) {
  // Clients may report any part: "no part yet" and 40 parts give 15 bars
  // of their own and one for part 14 and every later one (26 parts, 2
  // machines each).
  DashboardSummary summary;
  summary.period = {"2026-12-01", "2026-12-01"};
  for (int64_t part = 0; part < 40; ++part) summary.stops.push_back({part, 2});
  summary.stops.insert(summary.stops.begin(), PartStops{std::nullopt, 7});
  const std::string page = DashboardPage(summary);
  const size_t table = page.find("id=\"stops-table\"");
  ASSERT_NE(table, std::string::npos);
  const std::string rows = page.substr(table, page.find("</table>", table) - table);
  size_t count = 0;
  for (size_t at = rows.find("<tr><td>"); at != std::string::npos;
       at = rows.find("<tr><td>", at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 16u);
  EXPECT_NE(rows.find("<td>no part yet</td><td>7</td>"), std::string::npos);
  EXPECT_NE(rows.find("<td>part 13</td><td>2</td>"), std::string::npos);
  EXPECT_NE(rows.find("<td>part 14 and later</td><td>52</td>"), std::string::npos) << rows;
  EXPECT_EQ(rows.find("part 15"), std::string::npos);
}

TEST(SummaryPeriodQuery, DefaultsAndRefusals) {
  const struct {
    QueryPairs query;
    const char* from;  // null: refused
    const char* to;
  } kCases[] = {
      {{}, "2026-11-11", "2026-12-10"},
      {{{"to", "2026-03-01"}}, "2026-01-31", "2026-03-01"},
      {{{"from", "2026-12-01"}}, "2026-12-01", "2026-12-10"},
      {{{"from", "2024-02-29"}, {"to", "2024-02-29"}}, "2024-02-29", "2024-02-29"},
      {{{"from", "2025-01-01"}, {"to", "2025-12-31"}}, "2025-01-01", "2025-12-31"},
      {{{"from", "2025-01-01"}, {"to", "2026-01-02"}}, nullptr, nullptr},  // 367 days
      {{{"from", "2026-02-30"}}, nullptr, nullptr},
      {{{"from", "2026-1-01"}}, nullptr, nullptr},
      {{{"to", "20261201"}}, nullptr, nullptr},
      {{{"from", "2026-12-02"}, {"to", "2026-12-01"}}, nullptr, nullptr},
      {{{"from", " 2026-12-01"}}, nullptr, nullptr},
  };
  for (const auto& c : kCases) {
    SummaryPeriod period;
    std::string error;
    const bool ok = ReadSummaryPeriod(c.query, kNowSeconds, period, error);
    if (c.from == nullptr) {
      EXPECT_FALSE(ok) << period.from << " " << period.to;
      EXPECT_FALSE(error.empty());
      continue;
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(period.from, c.from);
    EXPECT_EQ(period.to, c.to);
  }
}

}  // namespace

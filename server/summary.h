// The publisher's figures over a period of days: downloads started and
// finished per day, how long a finished download took, how often it paused
// and resumed, where unfinished downloads stopped and how many run now.
//
// A download is what one start request begins for a machine (mid, game and
// distributor), up to that machine's next start. Every day is a UTC day.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Whole UTC days, both ends included, as "YYYY-MM-DD".
struct SummaryPeriod {
  std::string from;
  std::string to;
};

// A machine counts as active while its latest download is unfinished and
// its latest event is at most this old.
inline constexpr int kActiveWindowSeconds = 10 * 60;

// What the store hands over: counted rows, not yet figures.
struct FinishedDownload {
  std::string day;  // the UTC day of its first finish
  int64_t durationMs = 0;
  int64_t pauses = 0;   // before the finish
  int64_t resumes = 0;  // before the finish
};

struct SummaryRows {
  std::map<std::string, int64_t> startedByDay;
  std::vector<FinishedDownload> finished;  // finished within the period
  // Unfinished downloads by the part of their last pause or update; the key
  // -1 holds those that reported no part at all.
  std::map<int64_t, int64_t> stopsByPart;
  int64_t activeMachines = 0;
};

struct DayFigures {
  std::string date;
  int64_t started = 0;
  int64_t finished = 0;
  std::optional<double> completionRate;  // finished / started; none without starts
};

struct HistogramBar {
  std::string label;
  int64_t fromSeconds = 0;
  std::optional<int64_t> toSeconds;  // excluded; none for the open last bar
  int64_t count = 0;
};

struct PartStops {
  std::optional<int64_t> part;  // none: stopped before reporting any part
  int64_t count = 0;
};

struct DashboardSummary {
  SummaryPeriod period;
  std::string generatedAt;  // UTC, the time form of the events table
  std::vector<DayFigures> days;
  int64_t started = 0;
  int64_t finished = 0;
  std::optional<double> completionRate;

  std::optional<double> medianFinishSeconds;
  std::optional<double> p90FinishSeconds;
  std::vector<HistogramBar> finishTimes;

  std::optional<double> medianPauses;
  std::optional<double> medianResumes;
  std::optional<double> resumedShare;  // finished downloads with at least one resume

  int64_t unfinished = 0;
  std::vector<PartStops> stops;  // by part, the no-part bar first

  int64_t activeMachines = 0;
};

// The figures from the store's rows; generatedAt as given.
DashboardSummary BuildSummary(const SummaryPeriod& period, const SummaryRows& rows,
                              const std::string& generatedAt);

// The median of values (the mean of the two middle ones for an even count);
// none when there are none.
std::optional<double> Median(std::vector<double> values);

// The nearest-rank percentile: the smallest value with at least p per cent
// of the values at or below it; none when there are none.
std::optional<double> NearestRankPercentile(std::vector<double> values, double p);

#include <algorithm>
#include <cmath>

#include "server/summary.h"
#include "server/summary_period.h"

namespace {

// Bars of the time-to-finish histogram: a download of the installer takes
// minutes on a fast line and days when it is paused and continued later.
struct Bucket {
  const char* label;
  int64_t fromSeconds;
};
constexpr Bucket kFinishBuckets[] = {
    {"< 5 min", 0},         {"5-15 min", 5 * 60},    {"15-30 min", 15 * 60},
    {"30-60 min", 30 * 60}, {"1-2 h", 3600},         {"2-6 h", 2 * 3600},
    {"6-24 h", 6 * 3600},   {"1-7 days", 24 * 3600}, {">= 7 days", 7 * 24 * 3600},
};

std::optional<double> Ratio(int64_t part, int64_t whole) {
  if (whole <= 0) return std::nullopt;
  return static_cast<double>(part) / static_cast<double>(whole);
}

}  // namespace

std::optional<double> Median(std::vector<double> values) {
  if (values.empty()) return std::nullopt;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::optional<double> NearestRankPercentile(std::vector<double> values, double p) {
  if (values.empty()) return std::nullopt;
  std::sort(values.begin(), values.end());
  const double rank = std::ceil(p / 100.0 * static_cast<double>(values.size()));
  const size_t index = rank < 1 ? 0 : static_cast<size_t>(rank) - 1;
  return values[std::min(index, values.size() - 1)];
}

DashboardSummary BuildSummary(const SummaryPeriod& period, const SummaryRows& rows,
                              const std::string& generatedAt) {
  DashboardSummary summary;
  summary.period = period;
  summary.generatedAt = generatedAt;

  std::map<std::string, int64_t> finishedByDay;
  std::vector<double> seconds, pauses, resumes;
  int64_t resumed = 0;
  for (const FinishedDownload& download : rows.finished) {
    ++finishedByDay[download.day];
    seconds.push_back(static_cast<double>(download.durationMs) / 1000.0);
    pauses.push_back(static_cast<double>(download.pauses));
    resumes.push_back(static_cast<double>(download.resumes));
    if (download.resumes > 0) ++resumed;
  }

  for (const std::string& day : DaysOf(period)) {
    DayFigures figures;
    figures.date = day;
    const auto started = rows.startedByDay.find(day);
    figures.started = started == rows.startedByDay.end() ? 0 : started->second;
    const auto finished = finishedByDay.find(day);
    figures.finished = finished == finishedByDay.end() ? 0 : finished->second;
    figures.completionRate = Ratio(figures.finished, figures.started);
    summary.started += figures.started;
    summary.finished += figures.finished;
    summary.days.push_back(figures);
  }
  summary.completionRate = Ratio(summary.finished, summary.started);

  summary.medianFinishSeconds = Median(seconds);
  summary.p90FinishSeconds = NearestRankPercentile(seconds, 90);
  constexpr size_t kBuckets = std::size(kFinishBuckets);
  for (size_t i = 0; i < kBuckets; ++i) {
    HistogramBar bar;
    bar.label = kFinishBuckets[i].label;
    bar.fromSeconds = kFinishBuckets[i].fromSeconds;
    if (i + 1 < kBuckets) bar.toSeconds = kFinishBuckets[i + 1].fromSeconds;
    summary.finishTimes.push_back(bar);
  }
  for (const FinishedDownload& download : rows.finished) {
    // A clock step back can make a duration negative; it goes to the first bar.
    size_t bar = 0;
    while (bar + 1 < kBuckets &&
           download.durationMs >= kFinishBuckets[bar + 1].fromSeconds * 1000) {
      ++bar;
    }
    ++summary.finishTimes[bar].count;
  }

  summary.medianPauses = Median(pauses);
  summary.medianResumes = Median(resumes);
  summary.resumedShare = Ratio(resumed, static_cast<int64_t>(rows.finished.size()));

  for (const auto& [part, count] : rows.stopsByPart) {
    PartStops stops;
    if (part >= 0) stops.part = part;
    stops.count = count;
    summary.unfinished += count;
    summary.stops.push_back(stops);
  }
  summary.activeMachines = rows.activeMachines;
  return summary;
}

#include "server/dashboard_page.h"

#include <cmath>
#include <cstdio>

#include "server/svg_chart.h"

namespace {

constexpr const char* kStartedColor = "#1f6feb";
constexpr const char* kFinishedColor = "#2da44e";
constexpr const char* kFinishTimeColor = "#8250df";
constexpr const char* kStopColor = "#cf222e";
constexpr size_t kMaxStopBars = 16;

constexpr const char* kStyle =
    "body{font-family:system-ui,sans-serif;margin:0 auto;max-width:1200px;padding:12px;"
    "color:#1f2328;background:#fff}"
    "h1{font-size:1.5em;margin:.2em 0}h2{font-size:1.15em;margin:.2em 0 .5em}"
    "header p{color:#59636e;margin:.3em 0}"
    "form{display:flex;flex-wrap:wrap;gap:8px;align-items:end;margin:.5em 0}"
    "label{display:flex;flex-direction:column;font-size:.9em}"
    "input,button{font-size:1em;padding:4px}"
    "section{border:1px solid #d1d9e0;border-radius:6px;padding:12px;margin:12px 0}"
    ".pair{display:flex;flex-wrap:wrap;gap:16px;align-items:flex-start}"
    ".pair figure{flex:2 1 420px;margin:0}.pair .table{flex:1 1 260px;max-height:360px;"
    "overflow:auto}"
    "svg.chart{width:100%;height:auto}"
    "svg .grid{stroke:#eaeef2}svg .axis{stroke:#59636e}"
    "svg text{font-size:12px;fill:#59636e}svg .ylabel{text-anchor:end}"
    "svg .xlabel{text-anchor:middle;font-size:11px}svg .legend{fill:#1f2328}"
    "table{border-collapse:collapse;width:100%;font-size:.9em}"
    "th,td{padding:3px 8px;border-bottom:1px solid #eaeef2;text-align:right;white-space:nowrap}"
    "th:first-child,td:first-child{text-align:left}"
    ".big{font-size:2.2em;font-weight:600;margin:0}"
    ".figures{display:flex;flex-wrap:wrap;gap:24px}.figures div{min-width:140px}"
    ".note{color:#59636e;font-size:.9em}";

std::string Percent(const std::optional<double>& share) {
  if (!share) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %%", *share * 100);
  return text;
}

std::string Plain(const std::optional<double>& value) {
  if (!value) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%g", *value);
  return text;
}

std::string Cell(const std::string& text) { return "<td>" + EscapeMarkup(text) + "</td>"; }

std::string Figure(const char* id, const std::string& label, const std::string& value) {
  return std::string("<div><p class=\"big\" id=\"") + id + "\">" + EscapeMarkup(value) +
         "</p><p class=\"note\">" + EscapeMarkup(label) + "</p></div>";
}

std::string PartLabel(const PartStops& stop) {
  return stop.part ? "part " + std::to_string(*stop.part) : "no part yet";
}

std::string Daily(const DashboardSummary& s) {
  std::vector<std::string> labels;
  ChartSeries started{"started", kStartedColor, {}};
  ChartSeries finished{"finished", kFinishedColor, {}};
  std::string rows;
  for (const DayFigures& day : s.days) {
    labels.push_back(day.date.substr(5));
    started.values.push_back(day.started);
    finished.values.push_back(day.finished);
    rows += "<tr>" + Cell(day.date) + Cell(std::to_string(day.started)) +
            Cell(std::to_string(day.finished)) + Cell(Percent(day.completionRate)) + "</tr>";
  }
  rows += "<tr><th>all days</th><th>" + std::to_string(s.started) + "</th><th>" +
          std::to_string(s.finished) + "</th><th>" + Percent(s.completionRate) + "</th></tr>";
  return "<section id=\"daily\"><h2>Downloads started and finished per day</h2>"
         "<div class=\"pair\"><figure>" +
         LineChartSvg("Downloads started and finished per day", labels, {started, finished}) +
         "</figure><div class=\"table\"><table id=\"daily-table\"><caption class=\"note\">"
         "Completion rate: finished / started on the same day</caption>"
         "<thead><tr><th>Day (UTC)</th><th>Started</th><th>Finished</th>"
         "<th>Completion</th></tr></thead><tbody>" +
         rows + "</tbody></table></div></div></section>";
}

std::string FinishTimes(const DashboardSummary& s) {
  std::vector<std::string> labels;
  std::vector<int64_t> counts;
  std::string rows;
  for (const HistogramBar& bar : s.finishTimes) {
    labels.push_back(bar.label);
    counts.push_back(bar.count);
    rows += "<tr>" + Cell(bar.label) + Cell(std::to_string(bar.count)) + "</tr>";
  }
  return "<section id=\"finish-time\"><h2>Time from start to finish</h2><div class=\"figures\">" +
         Figure("median-finish", "median",
                s.medianFinishSeconds ? DurationText(*s.medianFinishSeconds) : "-") +
         Figure("p90-finish", "90th percentile",
                s.p90FinishSeconds ? DurationText(*s.p90FinishSeconds) : "-") +
         Figure("finished-count", "finished downloads", std::to_string(s.finished)) +
         "</div><div class=\"pair\"><figure>" +
         BarChartSvg("Finished downloads by time from start to finish", labels, counts,
                     kFinishTimeColor) +
         "</figure><div class=\"table\"><table id=\"finish-table\"><thead><tr><th>Time</th>"
         "<th>Downloads</th></tr></thead><tbody>" +
         rows + "</tbody></table></div></div></section>";
}

std::string Pauses(const DashboardSummary& s) {
  return "<section id=\"pauses\"><h2>Pauses and resumes per finished download</h2>"
         "<div class=\"figures\">" +
         Figure("median-pauses", "median pauses", Plain(s.medianPauses)) +
         Figure("median-resumes", "median resumes", Plain(s.medianResumes)) +
         Figure("resumed-share", "finished after at least one resume", Percent(s.resumedShare)) +
         "</div></section>";
}

std::string Stops(const DashboardSummary& s) {
  std::vector<std::string> labels;
  std::vector<int64_t> counts;
  for (const PartStops& stop : s.stops) {
    // A client may report any part number: past a few bars the rest share
    // one, so the page stays a page (the API lists every part).
    if (labels.size() + 1 == kMaxStopBars && s.stops.size() > kMaxStopBars) {
      labels.push_back(PartLabel(stop) + " and later");
      counts.push_back(0);
    }
    if (labels.size() == kMaxStopBars) {
      counts.back() += stop.count;
      continue;
    }
    labels.push_back(PartLabel(stop));
    counts.push_back(stop.count);
  }
  std::string rows;
  for (size_t i = 0; i < labels.size(); ++i) {
    rows += "<tr>" + Cell(labels[i]) + Cell(std::to_string(counts[i])) + "</tr>";
  }
  if (rows.empty()) rows = "<tr><td colspan=\"2\">none</td></tr>";
  return "<section id=\"stops\"><h2>Where unfinished downloads stop</h2><div class=\"figures\">" +
         Figure("unfinished-count", "unfinished downloads", std::to_string(s.unfinished)) +
         "</div><div class=\"pair\"><figure>" +
         BarChartSvg("Unfinished downloads by the last part reached", labels, counts, kStopColor) +
         "</figure><div class=\"table\"><table id=\"stops-table\"><thead><tr><th>Last part"
         "</th><th>Machines</th></tr></thead><tbody>" +
         rows + "</tbody></table></div></div></section>";
}

}  // namespace

std::string DurationText(double seconds) {
  const int64_t total = static_cast<int64_t>(std::llround(seconds < 0 ? 0 : seconds));
  char text[64];
  if (total < 60) {
    std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(total));
  } else if (total < 3600) {
    std::snprintf(text, sizeof text, "%lld min %02lld s", static_cast<long long>(total / 60),
                  static_cast<long long>(total % 60));
  } else if (total < 86400) {
    std::snprintf(text, sizeof text, "%lld h %02lld min", static_cast<long long>(total / 3600),
                  static_cast<long long>(total % 3600 / 60));
  } else {
    std::snprintf(text, sizeof text, "%lld d %lld h", static_cast<long long>(total / 86400),
                  static_cast<long long>(total % 86400 / 3600));
  }
  return text;
}

std::string DashboardPage(const DashboardSummary& s) {
  const std::string from = EscapeMarkup(s.period.from);
  const std::string to = EscapeMarkup(s.period.to);
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
         "<title>Tovi downloads " +
         from + " to " + to + "</title><style>" + kStyle +
         "</style></head><body><header><h1>Tovi downloads</h1>"
         "<form method=\"get\" action=\"/dashboard\"><label>From <input type=\"date\" "
         "name=\"from\" value=\"" +
         from + "\"></label><label>To <input type=\"date\" name=\"to\" value=\"" + to +
         "\"></label><button type=\"submit\">Show</button></form>"
         "<p>UTC days " +
         from + " to " + to + "; figures as of " + EscapeMarkup(s.generatedAt) +
         ". <a href=\"/api/summary?from=" + from + "&amp;to=" + to +
         "\">JSON</a> &middot; <a href=\"/api/events.csv?from=" + from + "&amp;to=" + to +
         "\">events as CSV</a></p></header>"
         "<section id=\"active\"><h2>Active now</h2><div class=\"figures\">" +
         Figure("active-machines",
                "machines with an event in the last 10 minutes and no finish since",
                std::to_string(s.activeMachines)) +
         "</div></section>" + Daily(s) + FinishTimes(s) + Pauses(s) + Stops(s) + "</body></html>\n";
}

#include "server/summary_json.h"

#include <jansson.h>

#include <memory>

namespace {

struct JsonDecref {
  void operator()(json_t* value) const { json_decref(value); }
};
using Json = std::unique_ptr<json_t, JsonDecref>;

json_t* Real(const std::optional<double>& value) { return value ? json_real(*value) : json_null(); }

json_t* Integer(int64_t value) { return json_integer(static_cast<json_int_t>(value)); }

}  // namespace

std::string SummaryJson(const DashboardSummary& s) {
  Json root(json_object());
  json_t* r = root.get();
  json_object_set_new(r, "from", json_string(s.period.from.c_str()));
  json_object_set_new(r, "to", json_string(s.period.to.c_str()));
  json_object_set_new(r, "generated_at", json_string(s.generatedAt.c_str()));

  json_t* days = json_array();
  for (const DayFigures& day : s.days) {
    json_t* item = json_object();
    json_object_set_new(item, "date", json_string(day.date.c_str()));
    json_object_set_new(item, "started", Integer(day.started));
    json_object_set_new(item, "finished", Integer(day.finished));
    json_object_set_new(item, "completion_rate", Real(day.completionRate));
    json_array_append_new(days, item);
  }
  json_object_set_new(r, "days", days);

  json_t* totals = json_object();
  json_object_set_new(totals, "started", Integer(s.started));
  json_object_set_new(totals, "finished", Integer(s.finished));
  json_object_set_new(totals, "completion_rate", Real(s.completionRate));
  json_object_set_new(r, "totals", totals);

  json_t* finish = json_object();
  json_object_set_new(finish, "count", Integer(s.finished));
  json_object_set_new(finish, "median_seconds", Real(s.medianFinishSeconds));
  json_object_set_new(finish, "p90_seconds", Real(s.p90FinishSeconds));
  json_t* bars = json_array();
  for (const HistogramBar& bar : s.finishTimes) {
    json_t* item = json_object();
    json_object_set_new(item, "label", json_string(bar.label.c_str()));
    json_object_set_new(item, "from_seconds", Integer(bar.fromSeconds));
    json_object_set_new(item, "to_seconds", bar.toSeconds ? Integer(*bar.toSeconds) : json_null());
    json_object_set_new(item, "count", Integer(bar.count));
    json_array_append_new(bars, item);
  }
  json_object_set_new(finish, "histogram", bars);
  json_object_set_new(r, "time_to_finish", finish);

  json_t* pauses = json_object();
  json_object_set_new(pauses, "finished_downloads", Integer(s.finished));
  json_object_set_new(pauses, "median_pauses", Real(s.medianPauses));
  json_object_set_new(pauses, "median_resumes", Real(s.medianResumes));
  json_object_set_new(pauses, "share_with_resume", Real(s.resumedShare));
  json_object_set_new(r, "pauses_and_resumes", pauses);

  json_t* unfinished = json_object();
  json_object_set_new(unfinished, "count", Integer(s.unfinished));
  json_t* stops = json_array();
  for (const PartStops& stop : s.stops) {
    json_t* item = json_object();
    json_object_set_new(item, "part", stop.part ? Integer(*stop.part) : json_null());
    json_object_set_new(item, "count", Integer(stop.count));
    json_array_append_new(stops, item);
  }
  json_object_set_new(unfinished, "last_part", stops);
  json_object_set_new(r, "unfinished", unfinished);

  json_t* active = json_object();
  json_object_set_new(active, "machines", Integer(s.activeMachines));
  json_object_set_new(active, "window_seconds", Integer(kActiveWindowSeconds));
  json_object_set_new(r, "active_now", active);

  char* text = json_dumps(r, JSON_INDENT(2) | JSON_PRESERVE_ORDER | JSON_REAL_PRECISION(10));
  std::string out = text ? text : "{}";
  std::free(text);
  return out + "\n";
}

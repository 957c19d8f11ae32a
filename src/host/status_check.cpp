#include "host/status_check.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "common/dates.h"
#include "report/history_output.h"

namespace kb6 {
namespace {

constexpr double kSecondsPerDay = 86400.0;
// Clocks of two machines (the monitor's, the checker's) may differ a little.
constexpr double kFutureTolerance = 1.0 / 24;
constexpr const char* kHead = "Die Datenreorganisation ";

// A log text may hold anything another program wrote into the table: the
// summary keeps to one line and never ends the text part early.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '|')
      out += '/';
    else if (u < 0x20 || u == 0x7f)
      out += ' ';
    else
      out += c;
  }
  return out;
}

std::string DateTimeText(double serial) {
  return report::DateText(serial) + " " + report::TimeText(serial);
}

long long Seconds(double days) { return std::llround(days * kSecondsPerDay); }

std::string Perf(const std::string& label, const std::string& value, const std::string& warn,
                 const std::string& crit) {
  return "'" + label + "'=" + value + ";" + warn + ";" + crit + ";0";
}

}  // namespace

report::History WholeHistory(std::vector<report::LogRow> rows, double now) {
  // Today's serial plus one covers every readable day down to serial 0.
  const int days = static_cast<int>(std::max(0.0, std::floor(now))) + 2;
  return report::BuildHistory(std::move(rows), now, days);
}

std::array<std::optional<IntervalRun>, 3> LastCompletedRuns(const report::History& history) {
  std::array<std::optional<IntervalRun>, 3> last{};
  for (const report::Cycle& cycle : history.cycles) {
    for (size_t i = 0; i < kIntervals.size(); ++i) {
      const std::string start = std::string(kHead) + kIntervals[i].label + " wird gestartet ...";
      const std::string end = std::string(kHead) + kIntervals[i].label + " ist abgeschlossen.";
      std::optional<double> started;
      for (const report::Step& s : cycle.steps) {
        if (s.row.text == start) started = s.row.when;
        if (s.row.text != end || !started) continue;
        if (!last[i] || s.row.when > last[i]->ended) last[i] = IntervalRun{*started, s.row.when};
      }
    }
  }
  return last;
}

StatusResult EvaluateStatus(StatusInput in) {
  StatusResult r;
  if (!in.open_error.empty()) {
    r.state = StatusState::kCritical;
    r.summary = OneLine("Die Datenbank kann nicht geöffnet werden: " + in.open_error);
    return r;
  }
  if (!in.read_error.empty()) {
    r.state = StatusState::kUnknown;
    r.summary = OneLine("Das Protokoll tblALLGReorganisationProtokoll kann nicht gelesen werden: " +
                        in.read_error);
    return r;
  }
  // Entries dated after now were written under a clock that was ahead; they
  // would pass for a recent run (or the newest cycle) until that date.
  std::erase_if(in.rows,
                [&](const report::LogRow& row) { return row.when > in.now + kFutureTolerance; });
  r.history = WholeHistory(std::move(in.rows), in.now);
  const auto last = LastCompletedRuns(r.history);
  std::vector<std::string> overdue, fine;
  for (size_t i = 0; i < kIntervals.size(); ++i) {
    IntervalStatus& s = r.intervals[i];
    s.last = last[i];
    s.limit_seconds = in.max_age_days[i] * kSecondsPerDay;
    const std::string label = kIntervals[i].label;
    if (!s.last) {
      s.overdue = true;
      overdue.push_back(label + " überfällig: kein abgeschlossener Lauf im Protokoll");
      r.perfdata += Perf(kIntervals[i].perf, "U", "", std::to_string(Seconds(in.max_age_days[i])));
    } else {
      s.age_seconds = std::max<double>(0, Seconds(in.now - s.last->ended));
      s.overdue = s.age_seconds > s.limit_seconds;
      const std::string when = DateTimeText(s.last->ended);
      if (s.overdue)
        overdue.push_back(label + " überfällig: zuletzt abgeschlossen " + when + " (Grenze " +
                          std::to_string(in.max_age_days[i]) + " Tage)");
      else
        fine.push_back(label + " " + when);
      r.perfdata += Perf(kIntervals[i].perf, std::to_string(std::llround(s.age_seconds)) + "s", "",
                         std::to_string(Seconds(in.max_age_days[i])));
    }
    r.perfdata += " ";
  }
  const report::Cycle* newest = r.Newest();
  if (newest) {
    for (const report::Step& s : newest->steps)
      if (s.row.IsError()) {
        r.first_error = s.row.text;
        break;
      }
    r.perfdata +=
        Perf("cycle_duration", std::to_string(std::llround(newest->Seconds())) + "s", "", "") +
        " " + Perf("cycle_errors", std::to_string(newest->errors), "0", "");
  } else {
    r.perfdata += Perf("cycle_duration", "U", "", "") + " " + Perf("cycle_errors", "U", "0", "");
  }
  auto join = [](const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : ", ") + p;
    return out;
  };
  std::string cycle_text;
  if (newest)
    cycle_text = "letzter Zyklus " + DateTimeText(newest->start) + " (Dauer " +
                 report::FormatDuration(newest->Seconds()) + ", " + std::to_string(newest->errors) +
                 " Fehler)";
  if (!overdue.empty()) {
    r.state = StatusState::kCritical;
    r.summary = join(overdue);
  } else if (newest && newest->errors > 0) {
    r.state = StatusState::kWarning;
    r.summary = "letzter Zyklus " + DateTimeText(newest->start) + " mit " +
                std::to_string(newest->errors) + " Fehler(n): " + r.first_error;
  } else {
    r.state = StatusState::kOk;
    r.summary = "zuletzt abgeschlossen: " + join(fine) + "; " + cycle_text;
  }
  r.summary = OneLine(r.summary);
  return r;
}

const char* StateName(StatusState s) {
  switch (s) {
    case StatusState::kOk:
      return "OK";
    case StatusState::kWarning:
      return "WARNING";
    case StatusState::kCritical:
      return "CRITICAL";
    case StatusState::kUnknown:
      break;
  }
  return "UNKNOWN";
}

std::string StatusLine(const StatusResult& r) {
  std::string line = std::string("KB6TRAY ") + StateName(r.state) + " - " + r.summary;
  if (!r.perfdata.empty()) line += " | " + r.perfdata;
  return line;
}

std::string StatusJson(const StatusResult& r) {
  using nlohmann::json;
  json out = {{"state", StateName(r.state)},
              {"exit_code", static_cast<int>(r.state)},
              {"summary", r.summary},
              {"perfdata", r.perfdata}};
  json intervals = json::array();
  if (!r.perfdata.empty()) {
    for (size_t i = 0; i < kIntervals.size(); ++i) {
      const IntervalStatus& s = r.intervals[i];
      json one = {{"key", kIntervals[i].key},
                  {"days", kIntervals[i].days},
                  {"limit_seconds", std::llround(s.limit_seconds)},
                  {"overdue", s.overdue},
                  {"last_end", nullptr},
                  {"age_seconds", nullptr},
                  {"seconds", nullptr}};
      if (s.last) {
        one["last_end"] = report::IsoText(s.last->ended);
        one["age_seconds"] = std::llround(s.age_seconds);
        one["seconds"] = Seconds(s.last->ended - s.last->started);
      }
      intervals.push_back(std::move(one));
    }
  }
  out["intervals"] = std::move(intervals);
  out["last_cycle"] = nullptr;
  if (const report::Cycle* c = r.Newest())
    out["last_cycle"] = {
        {"run_id", c->guid},
        {"start", report::IsoText(c->start)},
        {"seconds", std::llround(c->Seconds())},
        {"errors", c->errors},
        {"first_error", r.first_error.empty() ? json(nullptr) : json(r.first_error)}};
  return out.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace kb6

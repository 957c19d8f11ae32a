// KB6TRAY --status: the state of the monitor as monitoring plugins report
// it, judged from the run log alone. One line "KB6TRAY <STATE> - summary |
// perfdata", exit code 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "report/history.h"

namespace kb6 {

enum class StatusState { kOk = 0, kWarning = 1, kCritical = 2, kUnknown = 3 };

// The three intervals as the run log names them.
struct IntervalInfo {
  const char* key;    // "AUFGABENTRAY1"
  int days;           // 1
  const char* label;  // "1-tägig", as its start and end lines say
  const char* perf;   // "age_1d"
  int default_max_age_days;
};
inline constexpr std::array<IntervalInfo, 3> kIntervals = {{
    {"AUFGABENTRAY1", 1, "1-tägig", "age_1d", 2},
    {"AUFGABENTRAY7", 7, "1-wöchig", "age_7d", 9},
    {"AUFGABENTRAY14", 14, "2-wöchig", "age_14d", 16},
}};

// The newest completed run of one interval: the end line of its run.
struct IntervalRun {
  double started = 0, ended = 0;  // local day serials
};

struct StatusInput {
  std::string open_error;  // the database did not open: CRITICAL
  std::string read_error;  // the run log could not be read: UNKNOWN
  std::vector<report::LogRow> rows;
  double now = 0;                     // local day serial
  std::array<int, 3> max_age_days{};  // per interval, as kIntervals
};

struct IntervalStatus {
  std::optional<IntervalRun> last;  // none in the log
  double age_seconds = 0;
  double limit_seconds = 0;
  bool overdue = false;
};

struct StatusResult {
  StatusState state = StatusState::kUnknown;
  std::string summary;   // one line, no '|'
  std::string perfdata;  // 'label'=value[UOM];warn;crit;min
  std::array<IntervalStatus, 3> intervals{};
  std::string first_error;  // of the newest cycle
  report::History history;
  const report::Cycle* Newest() const {
    return history.cycles.empty() ? nullptr : &history.cycles.front();
  }
};

// The newest completed run of each interval in `history`, as kIntervals.
std::array<std::optional<IntervalRun>, 3> LastCompletedRuns(const report::History& history);

// Every cycle of `rows`, none left out for its age.
report::History WholeHistory(std::vector<report::LogRow> rows, double now);

StatusResult EvaluateStatus(StatusInput input);

const char* StateName(StatusState s);
// "KB6TRAY OK - ... | ..."
std::string StatusLine(const StatusResult& r);
std::string StatusJson(const StatusResult& r);

}  // namespace kb6

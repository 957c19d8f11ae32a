// The three forms of the run history: aligned plain text for a terminal,
// JSON for scripts, and a self-contained HTML page with a chart.
#pragma once

#include <ostream>
#include <string>

#include "report/history.h"

namespace kb6::report {

void WriteHistoryText(const History& h, std::ostream& out);

// One object with "summary", "cycles" (one object per cycle, newest first)
// and "without_run_id"; the field names are listed in the README.
std::string HistoryJson(const History& h);

// A single page without external files or scripts: the summary, an inline
// SVG chart of cycle durations per day (one bar per cycle, class "bar", with
// "error" added when the cycle logged an error) and the cycles as tables.
std::string HistoryHtml(const History& h);

// "dd.mm.yyyy", "hh:mm:ss", "yyyy-mm-ddThh:mm:ss".
std::string DateText(double serial);
std::string TimeText(double serial);
std::string IsoText(double serial);

}  // namespace kb6::report

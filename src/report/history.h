// The run history: the entries of tblALLGReorganisationProtokoll grouped
// into cycles by their run identifier (reoGUID), with the intervals that ran,
// per entry the time since the entry before it, and the errors.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/regional.h"

namespace kb6 {

class Database;

namespace report {

// One row of the log table. `when` is a day serial with seconds, taken from
// reoDatum and reoUhrzeit (reoTimeStamp keeps only minutes) and from
// reoTimeStamp only when those do not read as a date and time.
struct LogRow {
  int64_t id = 0;
  double when = 0;
  std::string text;
  int32_t type = 0;
  std::string guid;  // trimmed; empty for entries written before a cycle reached the file
  bool IsError() const { return type == 1; }
};

struct Step {
  LogRow row;
  double seconds = 0;            // since the entry before it in the cycle; 0 for the first
  std::string job;               // the job a result line belongs to; empty when unknown
  std::optional<int64_t> count;  // the number of a job's result line
};

struct Cycle {
  std::string guid;
  double start = 0, end = 0;
  std::vector<std::string> intervals;  // "1-tägig", "1-wöchig", "2-wöchig", in order
  bool complete = true;                // every interval that started also ended
  int errors = 0;
  std::vector<Step> steps;  // oldest first
  double seconds = 0;       // from the first entry to the last, in the zone's real time
  double Seconds() const { return seconds; }
};

struct History {
  int days = 14;
  double first_day = 0;            // midnight of the oldest day shown
  double today = 0;                // midnight of today
  std::vector<Cycle> cycles;       // newest first
  std::vector<LogRow> unassigned;  // rows without a run identifier, newest first
  int CyclesWithErrors() const;
  const Cycle* Longest() const;  // null without cycles
};

// The history of today and the days-1 days before it. Cycles are kept when
// they started in that span, rows without identifier when written in it.
History BuildHistory(std::vector<LogRow> rows, double now, int days);

// Reads every row of the log table through the monitor's connection. Empty
// text on success, else the reason.
std::string ReadLogRows(Database& db, const RegionalSettings& r, std::vector<LogRow>& rows);

// The time of an entry from its date and time texts (day.month.year or
// year-month-day, any separators); nullopt when they do not read as one.
std::optional<double> EntryTime(const std::string& datum, const std::string& uhrzeit);

// "m:ss", or "h:mm:ss" from an hour on; whole seconds.
std::string FormatDuration(double seconds);

}  // namespace report
}  // namespace kb6

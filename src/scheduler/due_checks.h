// Whether the one-day, seven-day and fourteen-day reorganisations are due. The
// date of each interval's last run lives in one PARAMETER row; a check that
// reports due has stamped that row with today's date, and the stamp is a claim:
// of monitors that check one file at the same time, only one reports due.
#pragma once

#include <string>

namespace kb6 {

class Clock;
class Database;
struct RegionalSettings;

// key: the PARAMETER.FELD value; days: the interval. Never fails: an internal
// error reports due. A stamp later than today (the clock was or is wrong)
// reports due as well and is given in `stamp_ahead` when asked for.
bool IntervalDue(Database& db, const RegionalSettings& r, const Clock& clock,
                 const std::string& key, int days, std::string* stamp_ahead = nullptr);

// How many times an interval may start in one day when its jobs fail.
inline constexpr int kRunsPerDay = 3;

// "1-tägig", "1-wöchig", "2-wöchig": the interval as the log names it.
std::string IntervalName(int days);

// After an interval whose jobs failed: its claim of today is given back so
// that the next cycle runs it again, unless it started kRunsPerDay times
// today (counted from its start entries in the run log, or `runs_here` if
// more); then it waits for the next day.
struct Release {
  bool again = false;    // runs again at the next cycle
  bool written = false;  // the stamp was given back (or needed no change)
};
Release ReleaseFailedInterval(Database& db, const RegionalSettings& r, const Clock& clock,
                              const std::string& key, int days, int runs_here);

inline bool XF_DoAufgabenEintaegig(Database& db, const RegionalSettings& r, const Clock& clock) {
  return IntervalDue(db, r, clock, "AUFGABENTRAY1", 1);
}
inline bool XF_DoAufgabenWoechentlich(Database& db, const RegionalSettings& r, const Clock& clock) {
  return IntervalDue(db, r, clock, "AUFGABENTRAY7", 7);
}
inline bool XF_DoAufgabenZweiWoechentlich(Database& db, const RegionalSettings& r,
                                          const Clock& clock) {
  return IntervalDue(db, r, clock, "AUFGABENTRAY14", 14);
}

}  // namespace kb6

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
// error reports due.
bool IntervalDue(Database& db, const RegionalSettings& r, const Clock& clock,
                 const std::string& key, int days);

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

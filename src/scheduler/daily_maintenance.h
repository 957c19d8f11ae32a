#pragma once

#include "scheduler/cycle_report.h"

namespace kb6 {

class Clock;
class Database;
struct RegionalSettings;
class RunLog;

// The fixed clean-up statements at the end of the one-day run, then one
// information entry. Single statements fail silently.
void DailyMaintenance(Database& db, const RegionalSettings& r, const Clock& clock, RunLog& log,
                      JobReport& report);
inline void DailyMaintenance(Database& db, const RegionalSettings& r, const Clock& clock,
                             RunLog& log) {
  JobReport unused;
  DailyMaintenance(db, r, clock, log, unused);
}

}  // namespace kb6

#pragma once

#include "common/clock.h"
#include "jobs/job_report.h"

namespace kb6 {

class Database;
struct RegionalSettings;
class RunLog;

// The fixed clean-up statements at the end of the one-day run, then one
// information entry. A missing table or column is passed over silently; any
// other failed statement is counted in `report` and told after the entry.
// cycle_started: when the cycle began (the purges count back from the
// newest rows before it when they are older than today).
void DailyMaintenance(Database& db, const RegionalSettings& r, const Clock& clock, RunLog& log,
                      JobReport& report, double cycle_started);
inline void DailyMaintenance(Database& db, const RegionalSettings& r, const Clock& clock,
                             RunLog& log) {
  JobReport unused;
  DailyMaintenance(db, r, clock, log, unused, clock.Now());
}

}  // namespace kb6

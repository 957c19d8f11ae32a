// What one job (or the daily maintenance) did in a cycle: filled by the job
// as it runs, read by the cycle's report (scheduler/cycle_report.h).
#pragma once

#include <cstdint>
#include <string>

namespace kb6 {

// One job (or the daily maintenance) as it ran in this cycle.
struct JobReport {
  std::string name;  // "gfUpdateAdressen", ..., "DailyMaintenance"
  std::string tag;   // "01TG", "07TG", "14TG"
  int32_t rows = 0;  // rows visited, the number of its result line
  // Changes that were not written (statements that failed for any cause
  // but a missing optional table or column), and rows that failed whole.
  int32_t failed_writes = 0;
  bool read_failed = false;  // its row query could not be read
  bool trapped = false;      // its error trap ended it early
  std::string first_cause;   // the first failure's description, German
  bool Failed() const { return failed_writes > 0 || read_failed || trapped; }
};

}  // namespace kb6

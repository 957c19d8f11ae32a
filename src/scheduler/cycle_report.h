// What one timer cycle did, for the host: the exit code of --once, the
// metrics file, the status lines. Filled by the cycle and the jobs as they
// run; the run log stays the record of the same facts for people.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jobs/job_report.h"

namespace kb6 {

// One interval whose due-check reported due in this cycle.
struct IntervalReport {
  std::string key;     // "AUFGABENTRAY1", "AUFGABENTRAY7", "AUFGABENTRAY14"
  int days = 0;        // 1, 7, 14
  double started = 0;  // local day serials (Clock::Now)
  double ended = 0;
  bool failed = false;  // one of its jobs failed: the interval is redone
};

struct CycleReport {
  double started = 0;  // local day serials (Clock::Now)
  double ended = 0;
  bool opened = false;     // the database opened
  std::string open_error;  // why it did not, in the provider's words
  std::vector<IntervalReport> intervals;
  std::vector<JobReport> jobs;
  // Errors the cycle logged with type 1 besides the jobs' own (a trapped
  // cycle, a clock that jumped, a log file that cannot be written).
  int32_t other_errors = 0;

  bool HasFailures() const {
    if (other_errors > 0) return true;
    for (const JobReport& j : jobs)
      if (j.Failed()) return true;
    for (const IntervalReport& i : intervals)
      if (i.failed) return true;
    return false;
  }
};

}  // namespace kb6

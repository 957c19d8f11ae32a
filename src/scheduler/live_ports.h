// The timer cycle's ports wired to the real database, run log and jobs.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>

#include "scheduler/timer_cycle.h"

namespace kb6 {

class Clock;
class Database;
struct RegionalSettings;
class RunLog;

class LivePorts final : public CyclePorts {
 public:
  LivePorts(Database& db, const RegionalSettings& regional, const Clock& clock, RunLog& log)
      : db_(db), regional_(regional), clock_(clock), log_(log) {}
  bool OpenDatabase() override;
  void CloseDatabase() override;
  std::string NewGuidString() override;
  bool XF_DoAufgabenEintaegig() override;
  bool XF_DoAufgabenWoechentlich() override;
  bool XF_DoAufgabenZweiWoechentlich() override;
  std::unique_ptr<Jobs> NewJobs(ProgressSink& events) override;
  void DailyMaintenance(JobReport& report) override;
  void WriteLog(const std::string& text, int32_t type, const std::string& module,
                const std::string& procedure) override;
  double Now() override;
  std::string OpenError() override;
  void IntervalFailed(const IntervalReport& interval) override;
  std::string TakeClockNotice() override;
  int32_t TakeLostLogLines() override;

 private:
  Database& db_;
  const RegionalSettings& regional_;
  const Clock& clock_;
  RunLog& log_;
  bool Due(const std::string& key, int days);
  double cycle_started_ = 0;
  // A wrong clock is told once per cycle.
  std::string clock_notice_;
  bool clock_told_ = false;
  // Starts of each interval today in this process: the run log may not take
  // its start entries (a full disk), and the redo count must still end.
  std::map<std::string, std::pair<double, int>> runs_;
  // Intervals whose stamp could not be given back (a full disk): tried
  // again before their next due-check.
  std::set<std::string> unreleased_;
};

}  // namespace kb6

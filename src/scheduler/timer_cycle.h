// The timer cycle: one tick opens the database, asks the three due-checks,
// runs the jobs of every due interval in their fixed order, frames them with
// one start and one end balloon, closes the database and returns to idle.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/settings.h"
#include "jobs/progress.h"
#include "scheduler/cycle_report.h"

namespace kb6 {

inline constexpr const char* kIdleToolTip = "Korbinar V6 Systemüberwachung im Leerlauf";

// What the cycle needs of the rest of the system.
class CyclePorts {
 public:
  virtual ~CyclePorts() = default;
  virtual bool OpenDatabase() = 0;
  virtual void CloseDatabase() = 0;
  virtual std::string NewGuidString() = 0;
  virtual bool XF_DoAufgabenEintaegig() = 0;
  virtual bool XF_DoAufgabenWoechentlich() = 0;
  virtual bool XF_DoAufgabenZweiWoechentlich() = 0;
  // A new job object whose progress events reach `events`.
  virtual std::unique_ptr<Jobs> NewJobs(ProgressSink& events) = 0;
  virtual void DailyMaintenance(JobReport& report) = 0;
  virtual void WriteLog(const std::string& text, int32_t type, const std::string& module,
                        const std::string& procedure) = 0;
  // The time of the report's stamps (local day serial) and why the last
  // OpenDatabase failed; ports without a clock or a cause answer nothing.
  virtual double Now() { return 0; }
  virtual std::string OpenError() { return ""; }
  // An interval whose jobs failed: runs again at the next cycle, or waits
  // for the next day (which the port logs).
  virtual void IntervalFailed(const IntervalReport& interval) { (void)interval; }
  // What the last due-check found wrong with the clock, at most once per
  // cycle; empty if nothing.
  virtual std::string TakeClockNotice() { return ""; }
  // Log file lines lost since the last call (their table rows were still
  // tried): a cycle that lost some reports them among its errors.
  virtual int32_t TakeLostLogLines() { return 0; }
};

// What the cycle needs of the main window. The tray calls may throw.
class CycleWindow : public ProgressSink {
 public:
  virtual void SetTimerEnabled(bool enabled) = 0;
  virtual void SetToolTip(const std::string& text) = 0;
  virtual void ShowBalloon(const std::string& title, const std::string& text, int32_t kind) = 0;
  virtual void Unload() = 0;
};

class TimerCycle {
 public:
  TimerCycle(Settings& settings, CyclePorts& ports, CycleWindow& window)
      : settings_(settings), ports_(ports), window_(window) {}
  // Timer_Timer: one whole cycle.
  void Run();
  // What the last Run did; empty before the first.
  const CycleReport& LastReport() const { return report_; }

 private:
  void Finish();
  // Runs one job into its own JobReport; marks the interval failed with it.
  void RunJob(Jobs& jobs, const char* name, const char* tag, const std::function<void()>& job);
  IntervalReport& BeginInterval(const char* key, int days);
  // Logs and tells what the last due-check found wrong with the clock.
  void TellClock();
  Settings& settings_;
  CyclePorts& ports_;
  CycleWindow& window_;
  CycleReport report_;
};

}  // namespace kb6

#include "scheduler/live_ports.h"

#include <cmath>

#include "common/clock.h"
#include "db/database.h"
#include "jobs/aufgaben.h"
#include "runlog/run_log.h"
#include "scheduler/daily_maintenance.h"
#include "scheduler/due_checks.h"

namespace kb6 {

bool LivePorts::OpenDatabase() {
  cycle_started_ = clock_.Now();
  clock_told_ = false;
  return db_.OpenDatabase();
}
void LivePorts::CloseDatabase() { db_.CloseDatabase(); }
std::string LivePorts::NewGuidString() { return kb6::NewGuidString(); }

bool LivePorts::Due(const std::string& key, int days) {
  if (unreleased_.count(key) &&
      ReleaseFailedInterval(db_, regional_, clock_, key, days, runs_[key].second).written)
    unreleased_.erase(key);
  std::string stamp_ahead;
  const bool due = IntervalDue(db_, regional_, clock_, key, days, &stamp_ahead);
  if (!stamp_ahead.empty() && !clock_told_) {
    clock_told_ = true;
    clock_notice_ = "Die Systemuhr geht oder ging falsch: Die Datenreorganisation " +
                    IntervalName(days) + " ist zuletzt am " + stamp_ahead +
                    " gelaufen, heute ist der " + regional_.FormatDate(clock_.Now(), "dd/mm/yyyy") +
                    ". Sie wird jetzt ausgeführt.";
  }
  if (due) {
    const double today = std::floor(clock_.Now());
    auto& [day, runs] = runs_[key];
    if (day != today) day = today, runs = 0;
    ++runs;
  }
  return due;
}

bool LivePorts::XF_DoAufgabenEintaegig() { return Due("AUFGABENTRAY1", 1); }
bool LivePorts::XF_DoAufgabenWoechentlich() { return Due("AUFGABENTRAY7", 7); }
bool LivePorts::XF_DoAufgabenZweiWoechentlich() { return Due("AUFGABENTRAY14", 14); }

std::string LivePorts::TakeClockNotice() { return std::exchange(clock_notice_, {}); }

int32_t LivePorts::TakeLostLogLines() { return log_.TakeLostLines(); }

void LivePorts::IntervalFailed(const IntervalReport& interval) {
  const auto found = runs_.find(interval.key);
  const int runs_here = found == runs_.end() ? 1 : found->second.second;
  const Release release =
      ReleaseFailedInterval(db_, regional_, clock_, interval.key, interval.days, runs_here);
  if (!release.written) unreleased_.insert(interval.key);
  if (release.again) return;
  log_.WriteLog("Die Datenreorganisation " + IntervalName(interval.days) + " ist heute " +
                    std::to_string(kRunsPerDay) +
                    "-mal mit Fehlern gelaufen; sie wird erst am nächsten Tag wiederholt.",
                LogTypeError);
}

std::unique_ptr<Jobs> LivePorts::NewJobs(ProgressSink& events) {
  return std::make_unique<clsAufgaben>(db_, regional_, clock_, log_, events);
}

void LivePorts::DailyMaintenance(JobReport& report) {
  kb6::DailyMaintenance(db_, regional_, clock_, log_, report, cycle_started_);
}
double LivePorts::Now() { return clock_.Now(); }
std::string LivePorts::OpenError() { return db_.LastConnectError(); }

void LivePorts::WriteLog(const std::string& text, int32_t type, const std::string& module,
                         const std::string& procedure) {
  log_.WriteLog(text, type, module, procedure);
}

}  // namespace kb6

#include "scheduler/live_ports.h"

#include "common/clock.h"
#include "db/database.h"
#include "jobs/aufgaben.h"
#include "runlog/run_log.h"
#include "scheduler/daily_maintenance.h"
#include "scheduler/due_checks.h"

namespace kb6 {

bool LivePorts::OpenDatabase() { return db_.OpenDatabase(); }
void LivePorts::CloseDatabase() { db_.CloseDatabase(); }
std::string LivePorts::NewGuidString() { return kb6::NewGuidString(); }
bool LivePorts::XF_DoAufgabenEintaegig() {
  return kb6::XF_DoAufgabenEintaegig(db_, regional_, clock_);
}
bool LivePorts::XF_DoAufgabenWoechentlich() {
  return kb6::XF_DoAufgabenWoechentlich(db_, regional_, clock_);
}
bool LivePorts::XF_DoAufgabenZweiWoechentlich() {
  return kb6::XF_DoAufgabenZweiWoechentlich(db_, regional_, clock_);
}

std::unique_ptr<Jobs> LivePorts::NewJobs(ProgressSink& events) {
  return std::make_unique<clsAufgaben>(db_, regional_, clock_, log_, events);
}

void LivePorts::DailyMaintenance(JobReport& report) {
  kb6::DailyMaintenance(db_, regional_, clock_, log_, report);
}
double LivePorts::Now() { return clock_.Now(); }
std::string LivePorts::OpenError() { return db_.LastConnectError(); }

void LivePorts::WriteLog(const std::string& text, int32_t type, const std::string& module,
                         const std::string& procedure) {
  log_.WriteLog(text, type, module, procedure);
}

}  // namespace kb6

// What the long-running monitor and --once tell monitoring systems beside
// the tray: the metrics file after every cycle, and the sd_notify messages
// (READY=1, STATUS= with the tool tip, WATCHDOG=1, STOPPING=1).
#pragma once

#include <glib.h>

#include <memory>
#include <string>

#include "common/clock.h"
#include "host/metrics_file.h"
#include "host/ops_options.h"
#include "host/sd_notify.h"
#include "report/history_command.h"
#include "scheduler/cycle_report.h"
#include "tray/tray_icon.h"

namespace kb6 {

class OpsHost {
 public:
  OpsHost(const OpsOptions& ops, const MonitorOptions& monitor, SdNotifier notifier);
  ~OpsHost();
  OpsHost(const OpsHost&) = delete;
  OpsHost& operator=(const OpsHost&) = delete;

  // The tray with every tool tip also sent as STATUS=; null stays null.
  std::unique_ptr<TrayIcon> WrapTray(std::unique_ptr<TrayIcon> tray);
  // READY=1, and WATCHDOG=1 every half watchdog interval from a timeout on
  // GLib's default context: a loop that is not dispatched (a hung cycle)
  // sends no more pings. The progress waits dispatch it.
  void Started();
  // Rewrites the metrics file from the cycle's report and the run log.
  void AfterCycle(const CycleReport& report);
  void Stopping();

 private:
  static gboolean OnWatchdog(gpointer self);
  void WriteMetrics();

  std::string metrics_file_;
  report::DatabaseChoice choice_;
  SdNotifier notifier_;
  guint watchdog_source_ = 0;
  MetricsState metrics_;
  std::string metrics_error_;  // the cause last told to the operator
  // The intervals' last runs change only when one runs: the run log is read
  // at the first cycle and after cycles that ran an interval.
  bool intervals_read_ = false;
};

// A local day serial as Unix time, by the time zone's rules.
double UnixTimeOfLocal(double serial);

}  // namespace kb6

// The monitor as the Windows hosts run it: the core (settings, database, run
// log, timer cycle) wired to the hidden main window, its SetTimer timer, the
// message pump and the shell's notification icon, with clsApplication as the
// object the host talks to. The command-line host makes one; a COM host makes
// one beside its class factories.
#pragma once

#include <string>

#include "common/clock.h"
#include "common/regional.h"
#include "common/settings.h"
#include "db/database.h"
#include "db/provider.h"
#include "host/application.h"
#include "host/connect_report.h"
#include "runlog/run_log.h"
#include "scheduler/live_ports.h"
#include "scheduler/timer_cycle.h"
#include "tray/main_window.h"
#include "tray/windows/shell_tray.h"
#include "tray/windows/win32_loop.h"
#include "tray/windows/win32_window.h"

namespace kb6 {

// A whole number of milliseconds (1 to 7 digits) from environment variable
// `name`, with which tests shorten the monitor's waits; else `fallback`.
unsigned MillisecondsSetting(const char* name, unsigned fallback);

class WindowsMonitor {
 public:
  // exe_path: the executable (UTF-8); its folder is the log's fallback base,
  // its name without extension names the log files. Throws
  // std::runtime_error when the main window cannot be created.
  explicit WindowsMonitor(const std::string& exe_path);
  WindowsMonitor(const WindowsMonitor&) = delete;
  WindowsMonitor& operator=(const WindowsMonitor&) = delete;

  clsApplication& app() { return app_; }
  MainWindow& window() { return window_; }
  TimerCycle& cycle() { return cycle_; }
  Win32Window& native_window() { return native_; }
  Database& database() { return db_; }
  RunLog& run_log() { return log_; }
  const RegionalSettings& regional() const { return regional_; }
  const Clock& clock() const { return clock_; }
  Win32Timer& timer() { return timer_; }

  // One timer cycle, as the timer runs it (--once calls it directly); a
  // database that does not open is reported on standard error.
  void RunCycle();

  // Class_Terminate of a host's clsApplication object. While a cycle runs
  // the connection stays open for it: the cycle closes it at its end.
  void ClassTerminate();

  // A close request (WM_CLOSE, Ctrl+C, the session's end announced): an idle
  // monitor unloads at once, one in a cycle at the cycle's end.
  void RequestClose();
  // The session ends now (WM_ENDSESSION, the console closed). In a cycle
  // this runs in its progress wait, between two statements: the cycle ends
  // here, with a log entry saying so, the database closed and the icon
  // removed, and so does the process, which the system would end anyway.
  void EndNow();

  // Posted to the window by the console's close, log-off and shutdown events.
  static constexpr UINT kEndNowMessage = WM_APP + 2;

 private:
  SystemClock clock_;
  // The Windows build uses the same fixed German regional settings as the
  // Linux one, whatever the machine's: the club file's texts and the log
  // look the same whichever system ran the cycle.
  RegionalSettings regional_ = RegionalSettings::German();
  Settings settings_;
  ProviderRegistry providers_;
  Database db_;
  RunLog log_;
  LivePorts ports_;
  Win32Window native_;
  Win32EventLoop loop_;
  Win32Timer timer_;
  ShellTray tray_;
  MainWindow window_;
  TimerCycle cycle_;
  clsApplication app_;
  ConnectReport connect_report_;
  bool cycle_running_ = false;
};

}  // namespace kb6

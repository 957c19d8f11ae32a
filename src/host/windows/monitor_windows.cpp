#include "host/windows/monitor_windows.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "db/odbc/odbc_provider.h"
#include "db/sqlite_provider.h"
#include "host/windows/resource.h"

namespace kb6 {
namespace {

std::string Folder(const std::string& path) {
  const size_t at = path.find_last_of("\\/");
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::string Stem(const std::string& path) {
  const size_t at = path.find_last_of("\\/");
  std::string name = at == std::string::npos ? path : path.substr(at + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

ProviderRegistry& WithProviders(ProviderRegistry& providers) {
  RegisterSqliteProvider(providers);
  RegisterOdbcProvider(providers);
  return providers;
}

}  // namespace

unsigned MillisecondsSetting(const char* name, unsigned fallback) {
  if (const char* ms = std::getenv(name)) {
    const std::string m = ms;
    if (!m.empty() && m.size() <= 7 && m.find_first_not_of("0123456789") == std::string::npos &&
        std::stoul(m) > 0)
      return static_cast<unsigned>(std::stoul(m));
  }
  return fallback;
}

WindowsMonitor::WindowsMonitor(const std::string& exe_path)
    : db_(settings_, regional_, clock_, WithProviders(providers_)),
      log_(settings_, db_, regional_, clock_, Folder(exe_path), Stem(exe_path)),
      ports_(db_, regional_, clock_, log_),
      native_(L"Korbinar Systemüberwachung", IDI_KB6TRAY),
      // Tests shorten the one-minute interval with KB6TRAY_TIMER_MS.
      timer_(native_, MillisecondsSetting("KB6TRAY_TIMER_MS", 60000)),
      tray_(native_),
      window_(tray_, timer_, loop_, clock_),
      cycle_(settings_, ports_, window_),
      app_(settings_, window_, db_, log_),
      connect_report_(std::cerr) {
  // Tests and measurements shorten the one-second wait after each progress
  // text; anything but a small whole number keeps it.
  if (const char* pause = std::getenv("KB6TRAY_PROGRESS_PAUSE")) {
    const std::string p = pause;
    if (!p.empty() && p.size() <= 2 && p.find_first_not_of("0123456789") == std::string::npos)
      window_.SetProgressPause(std::stoi(p));
  }
  window_.SetTickHandler([this] { RunCycle(); });
  native_.SetMessageHandler(WM_CLOSE, [this](WPARAM, LPARAM) -> LRESULT {
    RequestClose();
    return 0;
  });
  native_.SetMessageHandler(WM_QUERYENDSESSION, [this](WPARAM, LPARAM) -> LRESULT {
    RequestClose();
    return TRUE;
  });
  native_.SetMessageHandler(WM_ENDSESSION, [this](WPARAM ending, LPARAM) -> LRESULT {
    if (ending) EndNow();
    return 0;
  });
  native_.SetMessageHandler(kEndNowMessage, [this](WPARAM, LPARAM) -> LRESULT {
    EndNow();
    return 0;
  });
}

void WindowsMonitor::RunCycle() {
  cycle_running_ = true;
  cycle_.Run();
  cycle_running_ = false;
  // A cycle whose database does not open writes no log entry: this line
  // is the one trace of the cause.
  connect_report_.AfterCycle(db_.LastConnectError());
}

void WindowsMonitor::RequestClose() {
  app_.CloseTrayIcon();
  if (!cycle_running_) window_.Unload();
}

void WindowsMonitor::EndNow() {
  RequestClose();
  if (!cycle_running_) return;
  log_.WriteLog("Die Windows-Sitzung endet: die Datenreorganisation wurde vorzeitig beendet.",
                LogTypeError, "fMain", "Timer_Timer");
  try {
    db_.CloseDatabase();
  } catch (...) {
  }
  window_.Unload();
  std::fflush(nullptr);
  // The cycle below this call must not go on with its connection closed.
  ExitProcess(0);
}

void WindowsMonitor::ClassTerminate() {
  if (!cycle_running_) app_.Class_Terminate();
}

}  // namespace kb6

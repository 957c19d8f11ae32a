#include "host/windows/monitor_windows.h"

#include <cstdlib>

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

// Tests shorten the 60-second timer interval with KB6TRAY_TIMER_MS (whole
// milliseconds, 1 to 7 digits); anything else keeps it.
unsigned TimerInterval() {
  if (const char* ms = std::getenv("KB6TRAY_TIMER_MS")) {
    const std::string m = ms;
    if (!m.empty() && m.size() <= 7 && m.find_first_not_of("0123456789") == std::string::npos &&
        std::stoul(m) > 0)
      return static_cast<unsigned>(std::stoul(m));
  }
  return 60000;
}

ProviderRegistry& WithProviders(ProviderRegistry& providers) {
  RegisterSqliteProvider(providers);
  RegisterOdbcProvider(providers);
  return providers;
}

}  // namespace

WindowsMonitor::WindowsMonitor(const std::string& exe_path)
    : db_(settings_, regional_, clock_, WithProviders(providers_)),
      log_(settings_, db_, regional_, clock_, Folder(exe_path), Stem(exe_path)),
      ports_(db_, regional_, clock_, log_),
      native_(L"Korbinar Systemüberwachung", IDI_KB6TRAY),
      timer_(native_, TimerInterval()),
      tray_(native_),
      window_(tray_, timer_, loop_, clock_),
      cycle_(settings_, ports_, window_),
      app_(settings_, window_, db_, log_) {
  // Tests and measurements shorten the one-second wait after each progress
  // text; anything but a small whole number keeps it.
  if (const char* pause = std::getenv("KB6TRAY_PROGRESS_PAUSE")) {
    const std::string p = pause;
    if (!p.empty() && p.size() <= 2 && p.find_first_not_of("0123456789") == std::string::npos)
      window_.SetProgressPause(std::stoi(p));
  }
  window_.SetTickHandler([this] {
    cycle_running_ = true;
    cycle_.Run();
    cycle_running_ = false;
  });
  native_.SetCloseHandler([this] { app_.CloseTrayIcon(); });
}

void WindowsMonitor::ClassTerminate() {
  if (!cycle_running_) app_.Class_Terminate();
}

}  // namespace kb6

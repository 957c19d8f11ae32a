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

ProviderRegistry& WithProviders(ProviderRegistry& providers) {
  RegisterSqliteProvider(providers);
  RegisterOdbcProvider(providers);
  return providers;
}

}  // namespace

WindowsMonitor::WindowsMonitor(const std::string& exe_path)
    : db_(settings_, regional_, clock_, WithProviders(providers_)),
      log_(settings_, db_, regional_, clock_, Folder(exe_path), Stem(exe_path)),
      ports_(db_, log_),
      native_(L"Korbinar Systemüberwachung", IDI_KB6TRAY),
      timer_(native_, 60000),
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
  window_.SetTickHandler([this] { cycle_.Run(); });
  native_.SetCloseHandler([this] { app_.CloseTrayIcon(); });
}

}  // namespace kb6

// The monitor of a COM-started KB6TRAY.exe, owned jointly by the server and
// every object it has handed out, so that no object outlives it. While its
// main window is loaded (ShowTrayicon until the close is honoured) it holds a
// server-process reference: the icon keeps the server alive after the host
// has let go of its objects, as in the command-line host.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "host/windows/com/server_life.h"
#include "host/windows/monitor_windows.h"

namespace kb6 {

class ServedMonitor {
 public:
  explicit ServedMonitor(const std::string& exe_path) : monitor_(exe_path) {
    monitor_.window().SetUnloadedHandler([this] { window_reference_.reset(); });
  }
  ServedMonitor(const ServedMonitor&) = delete;
  ServedMonitor& operator=(const ServedMonitor&) = delete;

  WindowsMonitor& monitor() { return monitor_; }
  // After a host call that may have loaded the window.
  void NoteWindowState() {
    if (monitor_.window().Loaded() && !window_reference_) window_reference_.emplace();
  }

 private:
  WindowsMonitor monitor_;
  std::optional<ServerReference> window_reference_;
};

}  // namespace kb6

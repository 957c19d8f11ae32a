#include "host/connect_report.h"

namespace kb6 {

void ConnectReport::AfterCycle(const std::string& cause) {
  if (cause == shown_) return;
  if (cause.empty()) {
    out_ << "KB6TRAY: Die Datenbank ist wieder geöffnet." << std::endl;
  } else {
    // A driver's message may run over several lines; the report keeps to one.
    std::string line = cause;
    for (char& c : line)
      if (c == '\n' || c == '\r') c = ' ';
    out_ << "KB6TRAY: Die Datenbank kann nicht geöffnet werden: " << line << std::endl;
  }
  shown_ = cause;
}

}  // namespace kb6

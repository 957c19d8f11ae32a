#include "host/connect_report.h"

#include "common/operator_notice.h"

namespace kb6 {

void ConnectReport::AfterCycle(const std::string& cause) {
  if (cause == shown_) return;
  // A driver's message may run over several lines; the report keeps to one.
  std::string text = cause.empty() ? "Die Datenbank ist wieder geöffnet."
                                   : "Die Datenbank kann nicht geöffnet werden: " + cause;
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  if (out_)
    *out_ << "KB6TRAY: " << text << std::endl;
  else
    TellOperator(cause.empty() ? NoticeLevel::kInfo : NoticeLevel::kError, text);
  shown_ = cause;
}

}  // namespace kb6

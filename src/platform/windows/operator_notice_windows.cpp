// Lines for the operator go to standard error (Windows console or redirect).
#include <cstdio>

#include "common/operator_notice.h"

namespace kb6 {

void TellOperator(NoticeLevel /*level*/, const std::string& text) {
  try {
    std::string line = "KB6TRAY: " + text;
    for (char& c : line)
      if (c == '\n' || c == '\r') c = ' ';
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  } catch (...) {
    // Out of memory for one line: the line is lost, the monitor goes on.
  }
}

}  // namespace kb6

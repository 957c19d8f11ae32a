// Lines for the person who runs the monitor, outside the run log: why nothing
// happens, what could not be done. Each platform says where they go
// (src/platform/<platform>/operator_notice_*.cpp): standard error, each line
// beginning "KB6TRAY: ".
#pragma once

#include <exception>
#include <string>

namespace kb6 {

// The syslog priorities of the journal's conventions.
enum class NoticeLevel { kError = 3, kWarning = 4, kInfo = 6 };

// Writes "KB6TRAY: " + text as one line; line breaks in text become blanks.
// Never throws.
void TellOperator(NoticeLevel level, const std::string& text);

// Runs `body` for a C caller (GLib's callbacks): no exception may unwind
// through its frames. What `body` throws is told as "<where>: <cause>".
template <typename Body>
void TellOperatorIfThrows(const char* where, Body&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    TellOperator(NoticeLevel::kError, std::string(where) + ": " + e.what());
  } catch (...) {
    TellOperator(NoticeLevel::kError, std::string(where) + ": unbekannter Fehler");
  }
}

}  // namespace kb6

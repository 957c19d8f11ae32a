// Lines for the person who runs the monitor, outside the run log: why nothing
// happens, what could not be done. Each platform says where they go
// (src/platform/<platform>/operator_notice_*.cpp): standard error, each line
// beginning "KB6TRAY: ".
#pragma once

#include <string>

namespace kb6 {

// The syslog priorities of the journal's conventions.
enum class NoticeLevel { kError = 3, kWarning = 4, kInfo = 6 };

// Writes "KB6TRAY: " + text as one line; line breaks in text become blanks.
// Never throws.
void TellOperator(NoticeLevel level, const std::string& text);

}  // namespace kb6

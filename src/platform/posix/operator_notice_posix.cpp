// Lines for the operator go to standard error (POSIX). When standard error
// is the journal's stream, each line starts with its syslog priority ("<3>")
// so that journalctl can filter by priority.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/operator_notice.h"

namespace kb6 {
namespace {

// systemd sets JOURNAL_STREAM to "device:inode" of the stream it connected;
// a child whose stderr was redirected elsewhere keeps the variable, so the
// descriptor itself must still be that stream.
bool StderrIsJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  if (stream == nullptr || *stream == '\0') return false;
  unsigned long long dev = 0, ino = 0;
  int used = 0;
  if (std::sscanf(stream, "%llu:%llu%n", &dev, &ino, &used) != 2 || stream[used] != '\0')
    return false;
  struct stat st {};
  if (fstat(2, &st) != 0) return false;
  return static_cast<unsigned long long>(st.st_dev) == dev &&
         static_cast<unsigned long long>(st.st_ino) == ino;
}

}  // namespace

void TellOperator(NoticeLevel level, const std::string& text) {
  try {
    std::string line;
    if (StderrIsJournal()) line = "<" + std::to_string(static_cast<int>(level)) + ">";
    line += "KB6TRAY: " + text;
    for (size_t i = line.find("KB6TRAY: "); i < line.size(); ++i)
      if (line[i] == '\n' || line[i] == '\r') line[i] = ' ';
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  } catch (...) {
    // Out of memory for one line: the line is lost, the monitor goes on.
  }
}

}  // namespace kb6

// The run log for --status and the metrics file, read without writing:
// the club file opened read-only (SQLITE_OPEN_READONLY), so it works on a
// read-only file and while a cycle runs, and leaves no -wal/-shm behind.
#pragma once

#include <string>
#include <vector>

#include "report/history.h"
#include "report/history_command.h"

namespace kb6 {

struct LogRead {
  std::string open_error;  // the database did not open
  std::string read_error;  // it opened, the log table could not be read
  std::vector<report::LogRow> rows;
};

// The embedded default's file read-only; on SQL Server through the
// monitor's own connection (a SELECT only).
LogRead ReadRunLog(const report::DatabaseChoice& choice);

}  // namespace kb6

// KB6TRAY --history: the run history of the database chosen by the usual
// options, as text, JSON or an HTML page.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "common/clock.h"
#include "report/history.h"

namespace kb6::report {

struct DatabaseChoice {
  std::string access_db;  // the embedded default's file, when no host is given
  std::string sqlserver_host, sqlserver_db, sqlserver_user, sqlserver_password;
};

struct HistoryRequest {
  int days = 14;
  bool json = false;
  std::string html_file;  // empty: no page
};

// The run log of the chosen database, opened only to read (a read-only
// file or mount serves; no -wal/-shm left behind).
struct LogRead {
  std::string open_error;  // the database did not open
  std::string read_error;  // it opened, the log table could not be read
  std::vector<LogRow> rows;
};
LogRead ReadRunLog(const DatabaseChoice& choice, const Clock& clock);

// Exit code 0, or 2 with a message on `err` when the database or its log
// table cannot be read or the page cannot be written.
int RunHistory(const DatabaseChoice& choice, const HistoryRequest& request, const Clock& clock,
               std::ostream& out, std::ostream& err);

}  // namespace kb6::report

// What the reliability tests read from a club file and its log after a run.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace kb6::test {

// Every row of a table as text (SQLite's quote() of each column), sorted;
// columns in `skip` are left out.
std::vector<std::string> TableRows(const std::string& db_path, const std::string& table,
                                   const std::set<std::string>& skip = {});
std::vector<std::string> TableNames(const std::string& db_path);

// All log files below `data_dir`/Logfiles, in name order.
std::string LogText(const std::string& data_dir);
// Empty when every line is "hh:mm:ss text" ended by CR LF, else the first bad line.
std::string FirstBrokenLogLine(const std::string& log_text);

}  // namespace kb6::test

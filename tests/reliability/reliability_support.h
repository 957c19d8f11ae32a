// What the reliability tests check on a club file after a run: integrity,
// whole log lines, and the derived data compared with another file.
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
std::vector<std::string> ColumnNames(const std::string& db_path, const std::string& table);

std::string IntegrityCheck(const std::string& db_path);

// Makes every interval due again, as on a later day.
void ResetDueStamps(const std::string& db_path);

// All log files below `data_dir`/Logfiles, in name order.
std::string LogText(const std::string& data_dir);
// Empty when every line is "hh:mm:ss text" ended by CR LF, else the first bad line.
std::string FirstBrokenLogLine(const std::string& log_text);

// Expects the same data in both files except what depends on drawn keys or
// the clock: the counter, the run log, the keys of overview rows and due rows.
void ExpectSameDerivedData(const std::string& expected_db, const std::string& actual_db);

}  // namespace kb6::test

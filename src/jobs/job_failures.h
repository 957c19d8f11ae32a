// What went wrong in one job, told once after its result line: how many
// changes were not written and the first cause, or that its rows could not be
// read at all. A missing optional table or column stays silent.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace kb6 {

class Database;
class RunLog;
struct JobReport;

class JobFailures {
 public:
  // Starts a new count of the database's failed statements.
  explicit JobFailures(Database& db);
  // The rows visited so far could not be read on (its row query failed).
  void ReadFailed(const std::string& cause);
  // One row was given up because of a value that cannot be converted.
  void RowFailed(const std::exception& e);
  // Failed statements since the start count as well; one type-1 entry each
  // for a read failure and for changes not written. Fills `report` if any.
  void Finish(RunLog& log, JobReport* report);

 private:
  Database& db_;
  int32_t failed_rows_ = 0;
  std::string row_cause_;
  bool read_failed_ = false;
  std::string read_cause_;
};

// Conversion failures of a single value (overflow: ±Inf, NaN, a date out of
// range; a text where a number is needed): they cost the row they occur in,
// not the job. A Null where a value is needed still ends the job.
bool IsValueFailure(const std::exception& e);

}  // namespace kb6

#include "jobs/job_failures.h"

#include "common/value.h"
#include "db/database.h"
#include "runlog/run_log.h"
#include "jobs/job_report.h"

namespace kb6 {

JobFailures::JobFailures(Database& db) : db_(db) { db_.TakeFailures(); }

void JobFailures::ReadFailed(const std::string& cause) {
  read_failed_ = true;
  read_cause_ = cause;
}

void JobFailures::RowFailed(const std::exception& e) {
  if (failed_rows_++ == 0) row_cause_ = e.what();
}

void JobFailures::Finish(RunLog& log, JobReport* report) {
  const StatementFailures statements = db_.TakeFailures();
  const int32_t failed = statements.count + failed_rows_;
  const std::string& cause = statements.count > 0 ? statements.first_cause : row_cause_;
  if (read_failed_)
    log.WriteLog("Die Datensätze konnten nicht gelesen werden: " + read_cause_, LogTypeError);
  if (failed > 0)
    log.WriteLog("Es wurden " + std::to_string(failed) +
                     " Änderung(en) nicht geschrieben. Erste Ursache: " + cause,
                 LogTypeError);
  if (!report) return;
  report->failed_writes += failed;
  report->read_failed = report->read_failed || read_failed_;
  if (report->first_cause.empty()) report->first_cause = read_failed_ ? read_cause_ : cause;
}

bool IsValueFailure(const std::exception& e) {
  const auto* error = dynamic_cast<const RuntimeError*>(&e);
  if (!error || dynamic_cast<const DbError*>(&e)) return false;
  const int n = error->number();
  return n == RuntimeError::Overflow().number() || n == RuntimeError::TypeMismatch().number();
}

}  // namespace kb6

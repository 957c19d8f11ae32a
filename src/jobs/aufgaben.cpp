#include "jobs/aufgaben.h"

#include <exception>

#include "common/clock.h"
#include "common/dates.h"
#include "db/database.h"
#include "db/literals.h"
#include "jobs/job_failures.h"
#include "runlog/run_log.h"
#include "jobs/job_report.h"

namespace kb6 {

clsAufgaben::clsAufgaben(Database& db, const RegionalSettings& regional, const Clock& clock,
                         RunLog& log, ProgressSink& events)
    : db_(db), log_(log), events_(events), r_(regional), clock_(clock) {}

void clsAufgaben::Raise(const std::string& text, const char* tag) {
  events_.SetTrayText(text, tag);
}

std::string clsAufgaben::KeyText(const Recordset& rs, const char* field) const {
  return SqlKeyLiteral(r_, rs.Field(field));
}

bool clsAufgaben::RunRows(const Frame& f, const std::function<void(Recordset&)>& per_row,
                          std::initializer_list<Recordset*> others) {
  Recordset rs;
  auto close_all = [&] {
    Database::CloseRecordset(rs);
    for (Recordset* o : others) Database::CloseRecordset(*o);
  };
  int32_t announced = 0;
  int32_t index = 0;
  JobFailures failures(db_);
  try {
    if (db_.TryOpenRecordset(f.count_sql, rs)) announced = r_.ToLong(rs.Field("ANZAHL"));
    Raise("Es werden nun " + std::to_string(announced) + f.announce_tail, f.tag);
    const bool opened = db_.TryOpenRecordset(f.row_sql, rs);
    // A row query that fails is told, whatever its cause.
    if (!opened) failures.ReadFailed(db_.LastOpenError);
    if (opened) {
      while (!rs.EndOfData()) {
        ++index;
        try {
          per_row(rs);
        } catch (const std::exception& e) {
          // A value that cannot be converted costs its row, not the job.
          if (!IsValueFailure(e)) throw;
          failures.RowFailed(e);
        }
        if (f.row_progress && index % 100 == 0)
          Raise("Datensatz " + std::to_string(index) + " von " + std::to_string(announced) +
                    " wird verarbeitet ...",
                f.tag);
        rs.MoveNext();
      }
    }
    log_.WriteLog(f.result_head + std::to_string(index) + f.result_tail, LogTypeInfo);
    if (report_) report_->rows = index;
    failures.Finish(log_, report_);
    close_all();
    return true;
  } catch (const std::exception& e) {
    log_.WriteLog(e.what(), LogTypeError);
    failures.Finish(log_, report_);
    if (report_) {
      report_->rows = index;
      report_->trapped = true;
      if (report_->first_cause.empty()) report_->first_cause = e.what();
    }
    close_all();
    return false;
  }
}

int16_t clsAufgaben::gfAlterInJahren(const std::string& date_of_birth) const {
  const auto birth = r_.ParseDate(date_of_birth);
  if (!birth) return 0;
  const CivilDateTime b = CivilFromSerial(*birth);
  const CivilDateTime t = CivilFromSerial(clock_.Now());
  int years = t.year - b.year;
  if (b.month > t.month || (b.month == t.month && b.day > t.day)) --years;
  return static_cast<int16_t>(years);
}

}  // namespace kb6

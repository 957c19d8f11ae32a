// gfUpdateDatumsfelder: placeholder dates (30.12.1899 and 01.01.1900) in the
// date columns of memberships, fee keys and bookings become NULL.
#include <exception>

#include "db/database.h"
#include "db/literals.h"
#include "jobs/aufgaben.h"
#include "jobs/job_failures.h"
#include "runlog/run_log.h"
#include "jobs/job_report.h"

namespace kb6 {

void clsAufgaben::gfUpdateDatumsfelder() {
  static const char* const kColumns[][2] = {
      {"ABTEILUNGEN", "DATUM1"},
      {"ABTEILUNGEN", "DATUM2"},
      {"ABTEILUNGEN", "DATUM3"},
      {"ABTEILUNGEN", "DATUM4"},
      {"ABTEILUNGEN", "EINTRITT"},
      {"ABTEILUNGEN", "AUSTRITT"},
      {"ABTEILUNGEN", "KUEND_EING"},
      {"ABTEILUNGEN", "KUEND_BEST"},
      {"ABTEILUNGEN", "STILL_VON"},
      {"ABTEILUNGEN", "STILL_BIS"},
      {"BEITRAGSSCHLUESSEL", "DATUM1"},
      {"BEITRAGSSCHLUESSEL", "DATUM2"},
      {"BEITRAGSSCHLUESSEL", "DATUM3"},
      {"BEITRAGSSCHLUESSEL", "DATUM4"},
      {"BEITRAGSSCHLUESSEL", "DATUM3_ALT"},
      {"BEITRAGSSCHLUESSEL", "BEZAHLT_BIS"},
      {"BEITRAGSSCHLUESSEL", "BEZAHLT_BIS_ALT"},
      {"BJOURNAL", "SPENDENDRUCK"},
  };
  JobFailures failures(db_);
  try {
    Raise("Datumsfelder werden in der Datenbank überprüft...", "01TG");
    const std::string a = SQLDateLiteral(db_.CurrentDialect(), r_, Value("30.12.1899"));
    const std::string b = SQLDateLiteral(db_.CurrentDialect(), r_, Value("01.01.1900"));
    for (const auto& [table, column] : kColumns) {
      const std::string col = column;
      db_.ExecuteSQL("UPDATE " + std::string(table) + " SET " + col + "=NULL WHERE " + col + "=" +
                         a + " OR " + col + "=" + b,
                     true);
    }
  } catch (const std::exception& e) {
    log_.WriteLog(e.what(), LogTypeError);
    if (report_) {
      report_->trapped = true;
      if (report_->first_cause.empty()) report_->first_cause = e.what();
    }
  }
  failures.Finish(log_, report_);
}

}  // namespace kb6

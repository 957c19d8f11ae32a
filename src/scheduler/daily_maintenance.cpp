#include "scheduler/daily_maintenance.h"

#include <algorithm>
#include <cmath>

#include "common/clock.h"
#include "db/database.h"
#include "db/literals.h"
#include "jobs/job_failures.h"
#include "runlog/run_log.h"

namespace kb6 {
namespace {

// The day the purge of `table` counts back from: today, or the day of its
// newest row from before the cycle if that is earlier. A clock years ahead
// then deletes what it would have deleted on that day, not every row.
double PurgeDay(Database& db, const RegionalSettings& r, const std::string& table,
                const std::string& column, double today, double cycle_started) {
  double day = today;
  Recordset rs;
  try {
    // Before the cycle: the cycle's own log rows carry the clock's time.
    // The comparison with a date also leaves out texts, which SQLite sorts
    // after every number.
    const std::string before = SQLDateLiteral(
        db.CurrentDialect(), r, Value(r.FormatDate(cycle_started, "dd.mm.yyyy hh:mm:ss")));
    if (db.TryOpenRecordset("SELECT MAX(" + column + ") AS NEUESTE FROM " + table + " WHERE " +
                                column + " < " + before,
                            rs) &&
        !rs.EndOfData() && !rs.Field("NEUESTE").IsNull())
      day = std::min(today, std::floor(r.ToDate(rs.Field("NEUESTE"))));
  } catch (const std::exception&) {
    day = today;  // a newest value that is no date gives no guard
  }
  Database::CloseRecordset(rs);
  return day;
}

}  // namespace

void DailyMaintenance(Database& db, const RegionalSettings& r, const Clock& clock, RunLog& log,
                      JobReport& report, double cycle_started) {
  JobFailures failures(db);
  try {
    const double today = r.ToDate(Value(r.FormatDate(clock.Now(), "dd/mm/yyyy")));
    const double history_day = PurgeDay(db, r, "HISTORY", "ZEITSTEMPEL", today, cycle_started);
    const double log_day =
        PurgeDay(db, r, "tblALLGReorganisationProtokoll", "reoTimeStamp", today, cycle_started);
    const std::string cutoff_history =
        SQLDateLiteral(db.CurrentDialect(), r, Value::Date(history_day - 730));
    const std::string cutoff_log =
        SQLDateLiteral(db.CurrentDialect(), r, Value::Date(log_day - 30));
    const std::string statements[] = {
        "UPDATE ADRESSEN SET WOHNGEBIET=NULL WHERE WOHNGEBIET < 1",
        "DELETE FROM HISTORY WHERE ZEITSTEMPEL < " + cutoff_history,
        "DELETE FROM tblALLGReorganisationProtokoll WHERE reoTimeStamp < " + cutoff_log,
        "UPDATE ADRESSEN SET FAM_NR=NULL WHERE FAM_NR=0",
        "UPDATE tblFIBUAuswertungsgruppen SET awtAnzKonten = 0 WHERE awtAnzKonten IS NULL",
        "UPDATE tblFIBUAuswertungsgruppen SET awtAnzPlanbetraege = 0 WHERE awtAnzPlanbetraege IS "
        "NULL",
        "UPDATE ADRESSEN SET GESCHLECHT='W' WHERE Anrede='Frau' AND (GESCHLECHT IS NULL OR "
        "GESCHLECHT='')",
        "UPDATE ADRESSEN SET GESCHLECHT='M' WHERE Anrede='Herr' AND (GESCHLECHT IS NULL OR "
        "GESCHLECHT='')",
    };
    for (const std::string& sql : statements) db.ExecuteSQL(sql, true);
    log.WriteLog(
        "Die eintägige Überprüfung von diversen Programmdaten wurde erfolgreich abgeschlossen.",
        LogTypeInfo);
    failures.Finish(log, &report);
  } catch (const std::exception& e) {
    log.WriteLog(e.what(), LogTypeError);
    report.trapped = true;
    if (report.first_cause.empty()) report.first_cause = e.what();
    failures.Finish(log, &report);
  }
}

}  // namespace kb6

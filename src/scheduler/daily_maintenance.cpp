#include "scheduler/daily_maintenance.h"

#include "common/clock.h"
#include "db/database.h"
#include "db/literals.h"
#include "runlog/run_log.h"
#include "scheduler/cycle_report.h"

namespace kb6 {

void DailyMaintenance(Database& db, const RegionalSettings& r, const Clock& clock, RunLog& log,
                      JobReport& report) {
  try {
    const double today = r.ToDate(Value(r.FormatDate(clock.Now(), "dd/mm/yyyy")));
    const std::string cutoff_history =
        SQLDateLiteral(db.CurrentDialect(), r, Value::Date(today - 730));
    const std::string cutoff_log = SQLDateLiteral(db.CurrentDialect(), r, Value::Date(today - 30));
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
  } catch (const std::exception& e) {
    log.WriteLog(e.what(), LogTypeError);
    report.trapped = true;
    if (report.first_cause.empty()) report.first_cause = e.what();
  }
}

}  // namespace kb6

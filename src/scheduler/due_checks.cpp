#include "scheduler/due_checks.h"

#include "common/clock.h"
#include "db/database.h"
#include "db/literals.h"

namespace kb6 {

bool IntervalDue(Database& db, const RegionalSettings& r, const Clock& clock,
                 const std::string& key, int days) {
  bool due = true;
  bool row_found = false;
  bool update = false;
  Recordset rs;
  try {
    std::string sql = "SELECT WERT FROM PARAMETER WHERE FELD='" + key + "'";
    if (db.TryOpenRecordset(std::move(sql), rs) && !rs.EndOfData()) {
      row_found = true;
      const std::string stored = r.TextOrEmpty(rs.Field("WERT"));
      if (stored.empty() || !r.ParseDate(stored)) {
        update = true;
      } else {
        const double today = r.ToDate(Value(r.FormatDate(clock.Now(), "dd/mm/yyyy")));
        const double limit = today - days;
        if (r.ToDate(Value(stored)) > limit)
          due = false;
        else
          update = true;
      }
    }
    const std::string stamp = r.FormatDate(clock.Now(), "dd/mm/yyyy");
    if (!row_found) {
      const int32_t id = db.GetNextID("PARAMETER", "ID");
      sql = "INSERT INTO PARAMETER () VALUES ()";
      AddInsertField(db.CurrentDialect(), r, sql, std::to_string(id), "ID", "N", false);
      AddInsertField(db.CurrentDialect(), r, sql, key, "FELD", "A", false);
      AddInsertField(db.CurrentDialect(), r, sql, stamp, "WERT", "A", false);
      db.ExecuteSQL(sql, true);
    }
    if (update)
      db.ExecuteSQL("UPDATE PARAMETER SET WERT = '" + stamp + "' WHERE FELD='" + key + "'", true);
  } catch (...) {
    due = true;
  }
  Database::CloseRecordset(rs);
  return due;
}

}  // namespace kb6

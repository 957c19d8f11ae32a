#include "scheduler/due_checks.h"

#include <algorithm>

#include "common/clock.h"
#include "db/database.h"
#include "db/literals.h"

namespace kb6 {
namespace {

// The condition under which the row still holds the value that was read, so
// that the stamp is a claim: of two monitors that read the same value, only
// the first one's update changes the row.
std::string StillHolds(const RegionalSettings& r, const Value& read) {
  if (read.IsNull()) return "WERT IS NULL";
  if (read.kind() == Value::Kind::kInt || read.kind() == Value::Kind::kDouble)
    return "WERT = " + SqlKeyLiteral(r, read);
  return "WERT = '" + QuoteText(r.TextOrEmpty(read)) + "'";
}

// After inserting the missing row with key `id`: whether this check's row is
// the one that counts when another monitor inserted at the same time. With a
// unique FELD the other's insert failed and its row is there; on a file
// without that rule both rows stay and the lowest ID counts. A query that
// cannot be opened, or finds no row, keeps the check due.
bool InsertedRowCounts(Database& db, const RegionalSettings& r, const std::string& key, int32_t id,
                       bool inserted) {
  Recordset rs;
  bool ours = true;
  if (db.TryOpenRecordset("SELECT ID FROM PARAMETER WHERE FELD='" + key + "' ORDER BY ID", rs) &&
      !rs.EndOfData())
    ours = inserted && r.TextOrEmpty(rs.Field("ID")) == std::to_string(id);
  Database::CloseRecordset(rs);
  return ours;
}

}  // namespace

bool IntervalDue(Database& db, const RegionalSettings& r, const Clock& clock,
                 const std::string& key, int days, std::string* stamp_ahead) {
  bool due = true;
  bool row_found = false;
  bool update = false;
  bool read = false;
  std::string claim;
  Recordset rs;
  try {
    std::string sql = "SELECT WERT FROM PARAMETER WHERE FELD='" + key + "'";
    read = db.TryOpenRecordset(std::move(sql), rs);
    if (read && !rs.EndOfData()) {
      row_found = true;
      claim = StillHolds(r, rs.Field("WERT"));
      const std::string stored = r.TextOrEmpty(rs.Field("WERT"));
      if (stored.empty() || !r.ParseDate(stored)) {
        update = true;
      } else {
        const double today = r.ToDate(Value(r.FormatDate(clock.Now(), "dd/mm/yyyy")));
        const double limit = today - days;
        const double last = r.ToDate(Value(stored));
        if (last > today) {
          // A run "after today": the clock was ahead then or is behind now.
          // Waiting for that day would stop the interval for as long.
          update = true;
          if (stamp_ahead) *stamp_ahead = stored;
        } else if (last > limit) {
          due = false;
        } else {
          update = true;
        }
      }
    }
    const std::string stamp = r.FormatDate(clock.Now(), "dd/mm/yyyy");
    if (!row_found) {
      const int32_t id = db.GetNextID("PARAMETER", "ID");
      sql = "INSERT INTO PARAMETER () VALUES ()";
      AddInsertField(db.CurrentDialect(), r, sql, std::to_string(id), "ID", "N", false);
      AddInsertField(db.CurrentDialect(), r, sql, key, "FELD", "A", false);
      AddInsertField(db.CurrentDialect(), r, sql, stamp, "WERT", "A", false);
      const int32_t inserted = db.ExecuteSQL(sql, true);
      // Only a read that worked tells that the row was missing; after a failed
      // one the check stays due, as for any internal error.
      if (read) due = InsertedRowCounts(db, r, key, id, inserted > 0 || inserted == -1);
    }
    // No row changed: another monitor on the same file stamped it since it was
    // read, and runs the interval itself. A failed update keeps the check due.
    if (update && db.ExecuteSQL("UPDATE PARAMETER SET WERT = '" + stamp + "' WHERE FELD='" + key +
                                    "' AND " + claim,
                                true) == 0)
      due = false;
  } catch (...) {
    due = true;
  }
  Database::CloseRecordset(rs);
  return due;
}

std::string IntervalName(int days) {
  return days == 1 ? "1-tägig" : days == 7 ? "1-wöchig" : "2-wöchig";
}

Release ReleaseFailedInterval(Database& db, const RegionalSettings& r, const Clock& clock,
                              const std::string& key, int days, int runs_here) {
  const double today = r.ToDate(Value(r.FormatDate(clock.Now(), "dd/mm/yyyy")));
  const std::string stamp = r.FormatDate(today, "dd/mm/yyyy");
  int runs = runs_here;
  Recordset rs;
  if (db.TryOpenRecordset("SELECT Count(*) AS ANZAHL FROM tblALLGReorganisationProtokoll WHERE "
                          "reoDatum = '" +
                              stamp + "' AND reoEintrag = 'Die Datenreorganisation " +
                              IntervalName(days) + " wird gestartet ...'",
                          rs) &&
      !rs.EndOfData())
    runs = std::max(runs, static_cast<int>(r.ToLong(rs.Field("ANZAHL"))));
  Database::CloseRecordset(rs);
  Release release;
  release.again = runs < kRunsPerDay;
  // Due at the next cycle, or first on the next day; only while the row
  // still holds this claim, so that a stamp another monitor wrote stays.
  const double next = release.again ? today - days : today - days + 1;
  release.written =
      next == today ||
      db.ExecuteSQL("UPDATE PARAMETER SET WERT = '" + r.FormatDate(next, "dd/mm/yyyy") +
                        "' WHERE FELD='" + key + "' AND WERT = '" + stamp + "'",
                    true) != kExecuteFailed;
  return release;
}

}  // namespace kb6

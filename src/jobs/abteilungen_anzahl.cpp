// gfUpdateAbteilungenAnzahl: the number of current members of every department.
#include "db/database.h"
#include "db/literals.h"
#include "jobs/aufgaben.h"

namespace kb6 {

void clsAufgaben::gfUpdateAbteilungenAnzahl() {
  Recordset counts;
  const Frame frame{
      .tag = "01TG",
      .count_sql = "SELECT Count(ID) AS ANZAHL FROM STAMM1 WHERE ART='A'",
      .row_sql = "SELECT ID, NR, NAME, st1AnzahlMitglieder FROM STAMM1 WHERE ART = 'A' ORDER BY NR",
      .result_head = "Es wurden bei ",
      .result_tail = " Abteilung(en) die Anzahl Mitglieder aktualisiert.",
      .row_progress = false,
  };
  RunRows(frame,
          [&](Recordset& rs) {
            int32_t c = 0;
            const std::string today = SQLDateLiteral(
                db_.CurrentDialect(), r_, Value(r_.FormatDate(clock_.Now(), "dd/mm/yyyy")));
            std::string sql =
                "SELECT Count(ABTEILUNGEN.ADR_INR) as ANZAHL FROM ABTEILUNGEN, ADRESSEN " +
                std::string(" WHERE ABTEILUNGEN.NR_ABTEILUNG = ") + KeyText(rs, "NR") +
                " AND ADRESSEN.ADR_INR = ABTEILUNGEN.ADR_INR " + " AND (ABTEILUNGEN.AUSTRITT > " +
                today + " OR ABTEILUNGEN.AUSTRITT IS NULL OR ABTEILUNGEN.AUSTRITT = 0)" +
                " AND ADRESSEN.KZEHEMALIG=FALSE";
            if (db_.TryOpenRecordset(std::move(sql), counts)) c = r_.ToLong(counts.Field("ANZAHL"));
            db_.ExecuteSQL("UPDATE STAMM1 SET st1AnzahlMitglieder = " + std::to_string(c) +
                               " WHERE ID = " + KeyText(rs, "ID"),
                           true);
          },
          {&counts});
}

}  // namespace kb6

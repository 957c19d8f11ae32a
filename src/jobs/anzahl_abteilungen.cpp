// gfRefreshAnzahlAbteilungen: the numbers of current and of all department
// memberships of every active address.
#include "db/database.h"
#include "jobs/aufgaben.h"

namespace kb6 {

void clsAufgaben::gfRefreshAnzahlAbteilungen() {
  Recordset counts;
  const Frame frame{
      .tag = "07TG",
      .count_sql = "SELECT Count(ADR_INR) AS ANZAHL FROM ADRESSEN WHERE KZEHEMALIG=FALSE",
      .row_sql = "SELECT ADR_INR FROM ADRESSEN WHERE KZEHEMALIG=FALSE ORDER BY ADR_INR ASC",
      .result_head = "Es wurden ",
      .result_tail = " Adresse(n) wegen der Anzahl Abteilungen aktualisiert.",
  };
  RunRows(
      frame,
      [&](Recordset& rs) {
        const std::string adr_inr = KeyText(rs, "ADR_INR");
        // An address whose counts cannot be read is skipped rather than given
        // the counts of the address before it.
        std::string sql =
            "SELECT Count(ABTEILUNGEN.ID) as ANZAHL FROM ABTEILUNGEN WHERE (AUSTRITT IS NULL OR "
            "AUSTRITT = 0) AND ADR_INR = " +
            adr_inr;
        if (!db_.TryOpenRecordset(std::move(sql), counts)) return;
        const int32_t current = r_.ToLong(counts.Field("ANZAHL"));
        sql = "SELECT Count(ABTEILUNGEN.ID) as ANZAHL FROM ABTEILUNGEN WHERE ADR_INR = " + adr_inr;
        if (!db_.TryOpenRecordset(std::move(sql), counts)) return;
        const int32_t all = r_.ToLong(counts.Field("ANZAHL"));
        db_.ExecuteSQL("UPDATE ADRESSEN SET adrAnzahlAbteilungen = " + std::to_string(current) +
                           ", adrAnzahlAbteilungenMitAustritte = " + std::to_string(all) +
                           " WHERE ADR_INR = " + adr_inr,
                       true);
      },
      {&counts});
}

}  // namespace kb6

// gfUpdateFeldAnzahlAdressen: the numbers of functions, honours and attributes
// of every active address.
#include "db/database.h"
#include "jobs/aufgaben.h"

namespace kb6 {

void clsAufgaben::gfUpdateFeldAnzahlAdressen() {
  struct Kind {
    const char* count;
    const char* update;
    const char* zero;
  };
  static const Kind kKinds[] = {
      {"SELECT count(ID) as ANZAHL FROM FUNKTIONEN WHERE ADR_INR = ",
       "UPDATE ADRESSEN SET adrAnzFunktionen = ",
       "UPDATE ADRESSEN SET adrAnzFunktionen = 0 WHERE ADR_INR = "},
      {"SELECT count(ID) as ANZAHL FROM EHRUNGEN WHERE ADR_INR = ",
       "UPDATE ADRESSEN SET adrAnzEhrungen = ",
       "UPDATE ADRESSEN SET adrAnzEhrungen = 0 WHERE ADR_INR = "},
      {"SELECT count(ID) as ANZAHL FROM MERKMALE WHERE ADR_INR = ",
       "UPDATE ADRESSEN SET adrAnzMerkmale = ",
       "UPDATE ADRESSEN SET adrAnzMerkmale = 0 WHERE ADR_INR = "},
  };
  Recordset counts;
  const Frame frame{
      .tag = "14TG",
      .count_sql = "SELECT Count(ADR_INR) AS ANZAHL FROM ADRESSEN WHERE KZEHEMALIG = FALSE",
      .row_sql = "SELECT ADR_INR FROM ADRESSEN WHERE KZEHEMALIG = FALSE ORDER BY ADR_INR ASC",
      .result_head = "Es wurden ",
      .result_tail = " Adresse(n) wegen der Anzahl Funktionen / Ehrungen / Merkmale aktualisiert.",
  };
  RunRows(frame,
          [&](Recordset& rs) {
            const std::string adr_inr = KeyText(rs, "ADR_INR");
            for (const Kind& k : kKinds) {
              int32_t n = 0;
              std::string sql = k.count + adr_inr;
              if (db_.TryOpenRecordset(std::move(sql), counts))
                n = r_.ToLong(counts.Field("ANZAHL"));
              if (n < 1)
                db_.ExecuteSQL(k.zero + adr_inr, true);
              else
                db_.ExecuteSQL(k.update + std::to_string(n) + " WHERE ADR_INR = " + adr_inr, true);
            }
          },
          {&counts});
}

}  // namespace kb6

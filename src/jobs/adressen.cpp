// gfUpdateAdressen: birthday columns and age, letter salutation and open
// balance of every active address.
#include "common/text.h"
#include "db/database.h"
#include "db/literals.h"
#include "jobs/aufgaben.h"

namespace kb6 {
void clsAufgaben::gfUpdateAdressen() {
  Recordset sums;
  const Frame frame{
      .tag = "01TG",
      .count_sql = "SELECT Count(ADR_INR) AS ANZAHL FROM ADRESSEN WHERE KZEHEMALIG=FALSE",
      .row_sql =
          "SELECT ADR_INR, GEBTAG, ANREDE, TITEL, NAME1, adrNachnameVon, BR_ANREDE, adrAlter, "
          "OFFEN "
          "FROM ADRESSEN WHERE KZEHEMALIG=FALSE ORDER BY ADR_INR ASC",
      .result_head = "Es wurden ",
      .result_tail = " Adresse(n) aktualisiert.",
  };
  RunRows(frame,
          [&](Recordset& rs) {
            const std::string adr_inr = KeyText(rs, "ADR_INR");
            // 1. Birthday and age.
            const Value& gebtag = rs.Field("GEBTAG");
            const std::string birth = r_.TextOrEmpty(gebtag);
            if (r_.ParseDate(birth)) {
              const int16_t age = gfAlterInJahren(birth);
              const double stored = LeadingNumber("0" + r_.TextOrEmpty(rs.Field("adrAlter")));
              if (stored != age) {
                // Day and month with two digits each, whatever the regional settings.
                const double serial = r_.ToDate(gebtag);
                const std::string dmy = r_.FormatDate(serial, "dd.mm.yyyy hh:mm:ss");
                const std::string ddmm = dmy.substr(0, 5);
                const std::string date2000 =
                    SQLDateLiteral(db_.CurrentDialect(), r_, Value(ddmm + ".2000"));
                const int month = static_cast<int>(LeadingNumber(dmy.substr(3, 2)));
                db_.ExecuteSQL("UPDATE ADRESSEN SET adrGeburtstagTTMM = " + date2000 +
                                   ", GEBURTSTAG_TTMM = '" + ddmm + "' ,GEBURTSTAG_MM = " +
                                   std::to_string(month) + ", adrAlter= " + std::to_string(age) +
                                   " WHERE ADR_INR=" + adr_inr,
                               true);
              }
            }
            // 2. Salutation, only where none is stored.
            if (r_.TextOrEmpty(rs.Field("BR_ANREDE")).empty()) {
              const std::string anrede = ToUpperAscii(r_.TextOrEmpty(rs.Field("ANREDE")));
              std::string salutation;
              if (anrede == "FRAU")
                salutation = "Sehr geehrte Frau ";
              else if (anrede == "HERR" || anrede == "HERRN")
                salutation = "Sehr geehrter Herr ";
              else if (anrede == "FAMILIE")
                salutation = "Sehr geehrte Familie ";
              if (salutation.empty()) {
                salutation = "Sehr geehrte Damen und Herren,";
              } else {
                const std::string titel = r_.TextOrEmpty(rs.Field("TITEL"));
                const std::string von = r_.TextOrEmpty(rs.Field("adrNachnameVon"));
                if (!titel.empty()) salutation += titel + " ";
                if (!von.empty()) salutation += von + " ";
                salutation += r_.TextOrEmpty(rs.Field("NAME1")) + ",";
              }
              db_.ExecuteSQL("UPDATE ADRESSEN SET BR_ANREDE = '" + QuoteText(salutation) +
                                 "' WHERE ADR_INR=" + adr_inr,
                             true);
            }
            // 3. Open balance from the unprocessed bookings of kinds 1, 3 and 4.
            std::string sql =
                "SELECT Count(*) AS ANZAHL, SUM(SOLL) as SumSoll, SUM(HABEN) as SumHaben FROM "
                "BJOURNAL WHERE bjoKZVerarbeitet=FALSE AND ART IN ('1','3','4') AND ADR_INR=" +
                adr_inr;
            if (!db_.TryOpenRecordset(std::move(sql), sums)) return;
            if (r_.ToLong(sums.Field("ANZAHL")) > 0) {
              const Value& soll = sums.Field("SumSoll");
              const Value& haben = sums.Field("SumHaben");
              const double debit = r_.IsNumeric(soll) ? r_.ToDouble(soll) : 0;
              const double credit = r_.IsNumeric(haben) ? r_.ToDouble(haben) : 0;
              db_.ExecuteSQL("UPDATE ADRESSEN SET OFFEN = " + FormatAmount(r_, debit - credit) +
                                 " WHERE ADR_INR=" + adr_inr,
                             true);
            } else {
              const Value& offen = rs.Field("OFFEN");
              if (!offen.IsNull() && r_.ToDouble(offen) != 0)
                db_.ExecuteSQL("UPDATE ADRESSEN SET OFFEN = 0 WHERE ADR_INR=" + adr_inr, true);
            }
          },
          {&sums});
}

}  // namespace kb6

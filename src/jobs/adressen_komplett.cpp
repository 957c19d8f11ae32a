// gfUpdateAdressenKomplett: birth year, communication columns, composite name
// texts, fee total and alternative payer of every active address.
#include "common/dates.h"
#include "db/database.h"
#include "db/literals.h"
#include "jobs/aufgaben.h"

namespace kb6 {
namespace {

// The statement head of communication kinds 1 to 10; kind 8 fills two columns.
const char* CommunicationHead(double kind) {
  static const char* const kHeads[] = {
      "UPDATE ADRESSEN SET TELEFON_PRIVAT = '", "UPDATE ADRESSEN SET TELEFON_GESCHAEFT = '",
      "UPDATE ADRESSEN SET adrFaxPrivat = '",   "UPDATE ADRESSEN SET FAX_GESCHAEFT = '",
      "UPDATE ADRESSEN SET EMAIL = '",          "UPDATE ADRESSEN SET adrEMailGeschaeft = '",
      "UPDATE ADRESSEN SET HANDY = '",          "UPDATE ADRESSEN SET INTERNET = '",
      "UPDATE ADRESSEN SET PAGER = '",          "UPDATE ADRESSEN SET adrHomepageGeschaeft = '"};
  for (int i = 1; i <= 10; ++i)
    if (kind == i) return kHeads[i - 1];
  return nullptr;
}

}  // namespace

void clsAufgaben::gfUpdateAdressenKomplett() {
  Recordset second, sums;
  const Frame frame{
      .tag = "14TG",
      .count_sql = "SELECT Count(ADR_INR) AS ANZAHL FROM ADRESSEN WHERE KZEHEMALIG = FALSE",
      .row_sql =
          "SELECT ADR_INR, GEBTAG, adrNachnameVon, NAME1, VORNAME FROM ADRESSEN WHERE "
          "KZEHEMALIG = FALSE ORDER BY ADR_INR ASC",
      .result_head = "Es wurden ",
      .result_tail = " Adresse(n) im Komplettlauf aktualisiert.",
  };
  RunRows(
      frame,
      [&](Recordset& rs) {
        const std::string adr_inr = KeyText(rs, "ADR_INR");
        // 1. Birth year.
        const std::string birth = r_.TextOrEmpty(rs.Field("GEBTAG"));
        if (auto serial = r_.ParseDate(birth))
          db_.ExecuteSQL(
              "UPDATE ADRESSEN SET adrJahrgang = " + std::to_string(CivilFromSerial(*serial).year) +
                  " WHERE ADR_INR=" + adr_inr,
              true);
        // 2. Communication columns: reset, then filled from the entries.
        db_.ExecuteSQL(
            "UPDATE ADRESSEN SET TELEFON_PRIVAT = NULL, TELEFON_GESCHAEFT = NULL, adrFaxPrivat = "
            "NULL, FAX_GESCHAEFT = NULL, EMAIL = NULL, adrEMailGeschaeft = NULL, HANDY = NULL, "
            "INTERNET = NULL, PAGER = NULL, adrHomepageGeschaeft = NULL WHERE ADR_INR=" +
                adr_inr,
            true);
        std::string sql = "SELECT NR, KOMTEXT FROM KOMMUNIKATION WHERE ADR_INR = " + adr_inr;
        if (db_.TryOpenRecordset(std::move(sql), second)) {
          for (; !second.EndOfData(); second.MoveNext()) {
            const double kind = NumericValueOf(r_, second.Field("NR"));
            const char* head = CommunicationHead(kind);
            if (!head) continue;
            const std::string text = QuoteText(r_.TextOrEmpty(second.Field("KOMTEXT")));
            std::string update = head + text;
            if (kind == 8) update += "', adrHomepagePrivat = '" + text;
            db_.ExecuteSQL(update + "' WHERE ADR_INR=" + adr_inr, true);
          }
        }
        // 3. Composite texts, evaluated by the database.
        db_.ExecuteSQL(
            "UPDATE ADRESSEN SET " +
                std::string("ANSCHRIFT = (ANREDE & ' ' & TITEL & ' ' & VORNAME & ' ' & NAME1 & ' "
                            "' & NAME2 & ' ' & NAME3 & ', ' & STRASSE & ' ' & LAND & ' ' & PLZ & "
                            "' ' & ORT), ") +
                "NACH_VORNAME = (NAME1 & ', ' & VORNAME), " +
                "VOR_NACHNAME = (VORNAME & ' ' & NAME1), " +
                "L_PLZ_ORT = (LAND & ' ' & PLZ & ' ' & ORT), " +
                "L_PLZ_ORT_STRASSE = (LAND & ' ' & PLZ & ' ' & ORT & ' ' & STRASSE) " +
                "WHERE ADR_INR=" + adr_inr,
            true);
        // 4. Name texts with the particle.
        const std::string p = r_.TextOrEmpty(rs.Field("adrNachnameVon"));
        const std::string v = r_.TextOrEmpty(rs.Field("VORNAME"));
        const std::string n = r_.TextOrEmpty(rs.Field("NAME1"));
        std::string nach, vor;
        if (!p.empty() && !v.empty()) {
          nach = n + ", " + v + " " + p;
          vor = v + " " + p + " " + n;
        } else if (!p.empty()) {
          nach = n + " " + p;
          vor = p + " " + n;
        } else if (!v.empty()) {
          nach = n + ", " + v;
          vor = v + " " + n;
        } else {
          nach = vor = n;
        }
        db_.ExecuteSQL("UPDATE ADRESSEN SET " + std::string("NACH_VORNAME = '") + QuoteText(nach) +
                           "', " + "VOR_NACHNAME = '" + QuoteText(vor) + "' " +
                           " WHERE ADR_INR = " + adr_inr,
                       true);
        // 5. Yearly fee total of the address's departments.
        double total = 0;
        sql = "SELECT SUM(abtBeitrag) as Jahresbeitrag FROM ABTEILUNGEN WHERE ADR_INR = " + adr_inr;
        if (db_.TryOpenRecordset(std::move(sql), second)) {
          const Value& sum = second.Field("Jahresbeitrag");
          if (r_.IsNumeric(sum) && !sum.IsEmpty()) total = r_.ToDouble(sum);
        }
        db_.ExecuteSQL("UPDATE ADRESSEN SET adrJahresbeitrag = " + FormatAmount(r_, total) +
                           " WHERE ADR_INR = " + adr_inr,
                       true);
        // 6. Alternative payer.
        sql =
            "SELECT ZAHL_ADINR, (NAME1 + ', ' + VORNAME) AS FULLNAME, MITGL_NR FROM ADRESSEN WHERE "
            "ADR_INR = (SELECT ZAHL_ADINR FROM ADRESSEN WHERE ADR_INR = " +
            adr_inr + ")";
        if (!db_.TryOpenRecordset(std::move(sql), second) || second.EndOfData()) return;
        const int32_t z = r_.ToLong(second.Field("ZAHL_ADINR"));
        if (r_.ToLong(rs.Field("ADR_INR")) == z) {
          db_.ExecuteSQL(
              "UPDATE ADRESSEN SET ABW_ZAHLER = FALSE, OFFEN_ZAHLER = 0, NAME_ABW_ZAHLER = '', "
              "MITGL_NR_ABW_ZAHLER = NULL WHERE ADR_INR=" +
                  adr_inr,
              true);
          return;
        }
        sql =
            "SELECT SUM(SOLL) as SumSoll, SUM(HABEN) as SumHaben FROM BJOURNAL WHERE "
            "bjoKZVerarbeitet=FALSE AND ART IN ('1','3','4') AND ADR_INR=" +
            std::to_string(z);
        if (db_.TryOpenRecordset(std::move(sql), sums)) {
          if (sums.EndOfData()) {
            db_.ExecuteSQL("UPDATE ADRESSEN SET OFFEN_ZAHLER = 0 WHERE ADR_INR=" + adr_inr, true);
          } else {
            const Value& soll = sums.Field("SumSoll");
            const Value& haben = sums.Field("SumHaben");
            const bool both =
                r_.IsNumeric(soll) && r_.IsNumeric(haben) && !soll.IsEmpty() && !haben.IsEmpty();
            const double balance = both ? r_.ToDouble(soll) - r_.ToDouble(haben) : 0;
            db_.ExecuteSQL("UPDATE ADRESSEN SET OFFEN_ZAHLER = " + FormatAmount(r_, balance) +
                               " WHERE ADR_INR=" + adr_inr,
                           true);
          }
        }
        db_.ExecuteSQL("UPDATE ADRESSEN SET ABW_ZAHLER = TRUE, NAME_ABW_ZAHLER = '" +
                           QuoteText(r_.TextOrEmpty(second.Field("FULLNAME"))) +
                           "' WHERE ADR_INR=" + adr_inr,
                       true);
        const Value& mitgl = second.Field("MITGL_NR");
        if (r_.IsNumeric(mitgl) && !mitgl.IsEmpty() && r_.ToDouble(mitgl) > 0)
          db_.ExecuteSQL("UPDATE ADRESSEN SET MITGL_NR_ABW_ZAHLER = " +
                             SQLNumberLiteral(r_, mitgl) + " WHERE ADR_INR=" + adr_inr,
                         true);
        else
          db_.ExecuteSQL("UPDATE ADRESSEN SET MITGL_NR_ABW_ZAHLER = NULL WHERE ADR_INR=" + adr_inr,
                         true);
      },
      {&second, &sums});
}

}  // namespace kb6

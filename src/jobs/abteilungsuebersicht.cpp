// gfRefreshAbteilungsuebersicht: the overview rows of every active address in
// tblMVAbteilungsuebersicht, its department list and its entry date.
#include "common/dates.h"
#include "db/database.h"
#include "db/literals.h"
#include "jobs/aufgaben.h"
#include "jobs/fee_key_statement.h"
#include "jobs/household.h"

namespace kb6 {
namespace {

bool GreaterThanZero(const RegionalSettings& r, const Value& v) {
  if (v.IsNull() || v.IsEmpty()) return false;
  if (v.kind() == Value::Kind::kDate) return v.AsDateSerial() > 0;
  if (r.IsNumeric(v)) return r.ToDouble(v) > 0;
  if (r.IsDate(v)) return r.ToDate(v) > 0;
  return false;
}

}  // namespace

bool clsAufgaben::gfRefreshAbteilungsuebersicht() {
  Recordset departments, keys, lookups;
  const Frame frame{"07TG", "SELECT Count(ADR_INR) AS ANZAHL FROM ADRESSEN WHERE KZEHEMALIG=FALSE",
                    "SELECT ADR_INR FROM ADRESSEN WHERE KZEHEMALIG = FALSE ORDER BY ADR_INR ASC",
                    "Es wurde(n) bei ", " Adresse(n) die Übersicht aktualisiert."};
  return RunRows(
      frame,
      [&](Recordset& rs) {
        const std::string a = KeyText(rs, "ADR_INR");
        std::string list, previous;
        db_.ExecuteSQL("DELETE FROM tblMVAbteilungsuebersicht WHERE uebInterneNummer = " + a, true);
        std::string sql =
            "SELECT ABTEILUNGEN.NR_ABTEILUNG as AbtNummer, ABTEILUNGEN.EINTRITT as AbtEintritt, "
            "ABTEILUNGEN.AUSTRITT as AbtAustritt, ABTEILUNGEN.AKTIV as AbtAktiv, "
            "ABTEILUNGEN.ARBD_SOLL as Arbeitsdienst, STAMM1.NAME as AbtName " +
            std::string(
                "FROM ABTEILUNGEN, STAMM1 WHERE ABTEILUNGEN.NR_ABTEILUNG = STAMM1.NR AND "
                "STAMM1.ART = 'A' AND ABTEILUNGEN.ADR_INR = ") +
            a + " ORDER BY ABTEILUNGEN.NR_ABTEILUNG ASC";
        if (db_.TryOpenRecordset(sql, departments)) {
          for (; !departments.EndOfData(); departments.MoveNext()) {
            const Recordset& d = departments;
            const std::string abt = r_.ToText(d.Field("AbtNummer"));
            const std::string abt_key = KeyText(d, "AbtNummer");
            if (list.find("|" + abt + "|") == std::string::npos) list += "|" + abt + "|,";
            sql = std::string(kFeeKeyColumns) +
                  " FROM BEITRAGSSCHLUESSEL, STAMM1 WHERE BEITRAGSSCHLUESSEL.NR_ABTEILUNG = " +
                  abt_key + " " + " AND BEITRAGSSCHLUESSEL.ADR_INR = " + a +
                  " AND STAMM1.ART = 'B'  AND BEITRAGSSCHLUESSEL.NR_BS = STAMM1.NR ORDER BY "
                  "BEITRAGSSCHLUESSEL.NR_BS ASC";
            if (!db_.TryOpenRecordset(sql, keys)) continue;

            const Value& eintritt = d.Field("AbtEintritt");
            const bool department_zero = r_.ToDouble(d.Field("AbtNummer")) == 0;
            auto entry_date = [&] {
              const double serial = r_.ToDate(eintritt);
              db_.ExecuteSQL(
                  "UPDATE ADRESSEN SET adrEintrittHV = " +
                      SQLDateLiteral(db_.CurrentDialect(), r_, eintritt) + ", adrEintritt_MM = " +
                      std::to_string(CivilFromSerial(serial).month) + " WHERE ADR_INR = " + a,
                  true);
            };
            auto add = [&](std::string& ins, const std::string& value, const char* column,
                           const char* type) {
              AddInsertField(db_.CurrentDialect(), r_, ins, value, column, type, false);
            };
            auto department_columns = [&](std::string& ins, bool with_entry_update) {
              add(ins, r_.FormatNumber(r_.ToDouble(d.Field("AbtNummer")), "000"),
                  "uebAbteilungsnummer", "A");
              add(ins, r_.ToText(d.Field("AbtName")), "uebAbteilungsname", "A");
              if (GreaterThanZero(r_, eintritt)) {
                add(ins, r_.ToText(eintritt), "uebAbteilungEintritt", "D");
                if (with_entry_update && department_zero && r_.IsDate(eintritt)) entry_date();
              }
              if (GreaterThanZero(r_, d.Field("AbtAustritt")))
                add(ins, r_.ToText(d.Field("AbtAustritt")), "uebAbteilungAustritt", "D");
            };
            const std::string aktiv = r_.TextOrEmpty(d.Field("AbtAktiv")) == "A" ? "1" : "0";
            const Value& arbd = d.Field("Arbeitsdienst");
            const std::string dienst =
                r_.IsNumeric(arbd) && !arbd.IsEmpty() && r_.ToDouble(arbd) > 0 ? "Ja" : "Nein";
            auto start_row = [&] {
              std::string ins = "INSERT INTO tblMVAbteilungsuebersicht () VALUES ()";
              add(ins, std::to_string(db_.GetNextID("tblMVAbteilungsuebersicht", "uebID")), "uebID",
                  "N");
              add(ins, abt, "ueb_abtNR", "N");
              add(ins, a, "uebInterneNummer", "N");
              return ins;
            };

            if (keys.EndOfData()) {
              std::string ins = start_row();
              department_columns(ins, true);
              add(ins, aktiv, "uebAbteilungAktiv", "N");
              add(ins, dienst, "uebAbteilungArbeitsdienst", "A");
              db_.ExecuteSQL(ins, true);
              continue;
            }
            for (; !keys.EndOfData(); keys.MoveNext()) {
              const bool first = abt != previous;
              if (first) previous = abt;
              if (department_zero && r_.IsDate(eintritt)) entry_date();
              std::string ins = start_row();
              if (first) department_columns(ins, false);
              add(ins, aktiv, "uebAbteilungAktiv", "N");
              add(ins, r_.FormatNumber(r_.ToDouble(keys.Field("BSNummer")), "000"),
                  "uebBeitragsschluesselnummer", "A");
              add(ins, r_.ToText(keys.Field("BSName")), "uebBeitragsschluesselname", "A");
              double amount = 0;
              const double kind = NumericValueOf(r_, keys.Field("Berechnungsart"));
              const Value& jb = keys.Field("Jahresbeitrag");
              const Value& wert = keys.Field("BetragWert");
              const Value& zaehler = keys.Field("BetragZaehler");
              auto numeric = [&](const Value& v) { return r_.IsNumeric(v) && !v.IsEmpty(); };
              if (kind == 1) {
                if (numeric(jb)) amount = r_.ToDouble(jb);
              } else if (kind == 2) {
                if (numeric(wert)) amount = r_.ToDouble(wert) * r_.ToDouble(jb);
              } else if (kind == 3) {
                if (numeric(wert) && numeric(zaehler) && r_.ToDouble(wert) < r_.ToDouble(zaehler))
                  amount = (r_.ToDouble(zaehler) - r_.ToDouble(wert)) * r_.ToDouble(jb);
              } else if (kind == 4) {
                amount = HouseholdRate(db_, r_, lookups, keys, a,
                                       "SELECT count(ID) as ANZAHL from ADRESSEN WHERE KZEHEMALIG "
                                       "= FALSE AND FAM_NR = ");
              }
              if (GreaterThanZero(r_, keys.Field("ErhebungVon")))
                add(ins, r_.ToText(keys.Field("ErhebungVon")), "uebErhebungVon", "D");
              if (GreaterThanZero(r_, keys.Field("ErhebungBis")))
                add(ins, r_.ToText(keys.Field("ErhebungBis")), "uebErhebungBis", "D");
              add(ins, r_.FormatNumber(amount, "##,###,##0.00"), "uebBeitragsschluesselBetrag",
                  "A");
              add(ins, dienst, "uebAbteilungArbeitsdienst", "A");
              db_.ExecuteSQL(ins, true);
            }
          }
        }
        if (!list.empty()) {
          if (list.back() == ',') list.pop_back();
          std::string plain;
          for (char c : list)
            if (c != '|') plain += c;
          db_.ExecuteSQL("UPDATE ADRESSEN SET adrAlleAbteilungen = '" + QuoteText(plain) +
                             "' WHERE ADR_INR = " + a,
                         true);
        }
      },
      {&departments, &keys, &lookups});
}

}  // namespace kb6

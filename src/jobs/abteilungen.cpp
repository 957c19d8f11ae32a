// gfUpdateAbteilungen: the yearly fee of every department membership of every
// active member, as the sum of its fee keys.
#include <cmath>

#include "common/dates.h"
#include "db/database.h"
#include "db/literals.h"
#include "jobs/aufgaben.h"
#include "jobs/fee_key_statement.h"
#include "jobs/household.h"

namespace kb6 {
namespace {

// A date bound: a Null, a non-date or the date value 0 sets none.
bool DateBound(const RegionalSettings& r, const Value& v, double& serial) {
  if (v.IsNull() || !r.IsDate(v)) return false;
  serial = r.ToDate(v);
  return serial > 0;
}

}  // namespace

void clsAufgaben::gfUpdateAbteilungen() {
  Recordset keys, lookups;
  const Frame frame{
      .tag = "01TG",
      .count_sql =
          "SELECT Count(ABTEILUNGEN.ADR_INR) AS ANZAHL FROM ABTEILUNGEN, ADRESSEN WHERE "
          "ADRESSEN.ADR_INR = ABTEILUNGEN.ADR_INR AND ADRESSEN.KZEHEMALIG=FALSE",
      .row_sql =
          "SELECT ABTEILUNGEN.ID, ABTEILUNGEN.ADR_INR, ABTEILUNGEN.NR_ABTEILUNG, "
          "ADRESSEN.ZAHL_ADINR, "
          "abtBeitrag FROM ABTEILUNGEN, ADRESSEN WHERE ADRESSEN.ADR_INR = ABTEILUNGEN.ADR_INR AND "
          "ADRESSEN.KZEHEMALIG=FALSE ORDER BY ABTEILUNGEN.ADR_INR ASC",
      .result_head = "Es wurden ",
      .result_tail = " Abteilung(en) aktualisiert.",
  };
  RunRows(frame,
          [&](Recordset& rs) {
            const std::string adr_inr = KeyText(rs, "ADR_INR");
            const std::string nr = KeyText(rs, "NR_ABTEILUNG");
            double sum = 0;
            std::string sql = std::string(kFeeKeyColumns) +
                              " FROM BEITRAGSSCHLUESSEL, STAMM1 WHERE BEITRAGSSCHLUESSEL.NR_BS = "
                              "STAMM1.NR AND STAMM1.ART = 'B' AND BEITRAGSSCHLUESSEL.ADR_INR = " +
                              adr_inr + " AND BEITRAGSSCHLUESSEL.NR_ABTEILUNG = " + nr;
            if (db_.TryOpenRecordset(std::move(sql), keys)) {
              for (; !keys.EndOfData(); keys.MoveNext()) {
                double amount = 0;
                double bound = 0;
                const double now = clock_.Now();
                if (DateBound(r_, keys.Field("ErhebungVon"), bound) && bound > now) continue;
                if (DateBound(r_, keys.Field("ErhebungBis"), bound) && bound < now) continue;
                const Value& zw = keys.Field("Zahlungsweise");
                if (r_.IsNumeric(zw) && !zw.IsEmpty() && r_.ToDouble(zw) == 5) {
                  const Value& soll = keys.Field("Sollstellung");
                  const bool counts =
                      !r_.IsDate(soll) || r_.ToDate(soll) == 0 ||
                      CivilFromSerial(r_.ToDate(soll)).year == CivilFromSerial(clock_.Now()).year;
                  if (counts) amount = r_.ToDouble(keys.Field("Jahresbeitrag"));
                } else {
                  const double kind = NumericValueOf(r_, keys.Field("Berechnungsart"));
                  const Value& wert = keys.Field("BetragWert");
                  const Value& zaehler = keys.Field("BetragZaehler");
                  if (kind == 1) {
                    amount = r_.ToDouble(keys.Field("Jahresbeitrag"));
                  } else if (kind == 2) {
                    if (r_.IsNumeric(wert) && !wert.IsEmpty())
                      amount = r_.ToDouble(wert) * r_.ToDouble(keys.Field("Jahresbeitrag"));
                  } else if (kind == 3) {
                    if (r_.IsNumeric(wert) && r_.IsNumeric(zaehler) && !wert.IsEmpty() &&
                        !zaehler.IsEmpty() && r_.ToDouble(wert) < r_.ToDouble(zaehler))
                      amount = (r_.ToDouble(zaehler) - r_.ToDouble(wert)) *
                               r_.ToDouble(keys.Field("Jahresbeitrag"));
                  } else if (kind == 4) {
                    amount = HouseholdRate(db_, r_, lookups, keys, adr_inr,
                                           "SELECT count(ID) as ANZAHL from ADRESSEN WHERE "
                                           "KZEHEMALIG=FALSE AND FAM_NR = ");
                  }
                }
                sum += amount;
              }
            }
            db_.ExecuteSQL("UPDATE ABTEILUNGEN SET abtBeitrag = " + FormatAmount(r_, sum) +
                               " WHERE ADR_INR = " + adr_inr + " AND NR_ABTEILUNG = " + nr,
                           true);
          },
          {&keys, &lookups});
}

}  // namespace kb6

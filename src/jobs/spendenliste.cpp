// gfUpdateSpendenliste: donation bookings get their donation-type text once.
#include <cmath>
#include <cstdio>

#include "db/database.h"
#include "db/literals.h"
#include "jobs/aufgaben.h"

namespace kb6 {
namespace {

const char* DonationType(double code) {
  static const char* const kTexts[] = {"Geldspende",
                                       "Aufwandsspende",
                                       "Sachspende",
                                       "Geldspende (politisch)",
                                       "Aufwandsspende (politisch)",
                                       "Sachspende (politisch)"};
  for (int i = 1; i <= 6; ++i)
    if (code == i) return kTexts[i - 1];
  return "unbekannt";
}

// A number as plain decimal text with a point: 7 for "007".
std::string PlainNumber(double d) {
  char buf[40];
  if (d == std::trunc(d) && std::fabs(d) < 1e15)
    std::snprintf(buf, sizeof buf, "%.0f", d);
  else
    std::snprintf(buf, sizeof buf, "%.15g", d);
  return buf;
}

}  // namespace

void clsAufgaben::gfUpdateSpendenliste() {
  Recordset names;
  const Frame frame{
      .tag = "01TG",
      .count_sql =
          "SELECT Count(ID) AS ANZAHL FROM BJOURNAL WHERE (ART='2' OR ART='4') AND "
          "(bjoSpendenartErstellt=FALSE OR bjoSpendenartErstellt IS NULL)",
      .row_sql =
          "SELECT ID, ART, BS_NR, SPENDENDRUCK, SPENDENNUMMER FROM BJOURNAL WHERE (ART = '2' "
          "OR ART='4') AND (bjoSpendenartErstellt=FALSE OR bjoSpendenartErstellt IS NULL)",
      .result_head = "Es wurden bei ",
      .result_tail = " Spende(n) der Spendeart-Text aktualisiert.",
      .announce_tail = " Spenden verarbeitet ...",
  };
  RunRows(frame,
          [&](Recordset& rs) {
            std::string text;
            const double number = LeadingNumber(r_.TextOrEmpty(rs.Field("BS_NR")));
            if (LeadingNumber(r_.TextOrEmpty(rs.Field("ART"))) == 2) {
              text = DonationType(number);
            } else {
              std::string sql =
                  "SELECT NAME FROM STAMM1 WHERE ART='B' AND NR=" + PlainNumber(number);
              if (db_.TryOpenRecordset(std::move(sql), names))
                text = r_.TextOrEmpty(names.Field("NAME"));
            }
            if (text.empty()) return;
            const Value& nummer = rs.Field("SPENDENNUMMER");
            const std::string clear = !nummer.IsNull() && LeadingNumber(r_.TextOrEmpty(nummer)) == 0
                                          ? ", SPENDENDRUCK=NULL, SPENDENNUMMER=NULL"
                                          : "";
            db_.ExecuteSQL("UPDATE BJOURNAL SET " + std::string("bjoSpendenartText = '") +
                               QuoteText(text) + "', bjoSpendenartErstellt=1" + clear +
                               " WHERE ID = " + KeyText(rs, "ID"),
                           true);
          },
          {&names});
}

}  // namespace kb6

// The Access dialect run for real on an SQLite club file.
#include "db/access_dialect.h"

#include <gtest/gtest.h>

#include "db/access_translation.h"
#include "test_support.h"

namespace kb6::test {
namespace {

class AccessDialect : public ClubTest {
 protected:
  // The first field of the first row of an Access-dialect query.
  Value Query(std::string sql) {
    Recordset rs;
    const std::string err = db->OpenRecordset(sql, rs);
    EXPECT_EQ(err, "") << sql;
    if (!err.empty() || rs.EndOfData()) return Value();
    return rs.Field("V");
  }
};

TEST_F(AccessDialect, DateLiteralsAndBooleansMatchStoredValues) {
  raw->Exec(
      "INSERT INTO ABTEILUNGEN (ID, ADR_INR, AUSTRITT) VALUES (1, 1, 46360), (2, 1, 0),"
      " (3, 1, NULL), (4, 1, 46361), (5, 1, 46360.5)");
  raw->Exec("INSERT INTO ADRESSEN (ADR_INR, KZEHEMALIG) VALUES (1, -1), (2, 0), (3, 0)");
  raw->Exec("INSERT INTO HISTORY (ID, ZEITSTEMPEL) VALUES (1, '2026-12-04 10:00:00')");
  const std::pair<const char*, Value> cases[] = {
      {"Count(*) AS V FROM ABTEILUNGEN WHERE AUSTRITT > #12-4-2026#", Value(2)},
      {"Count(*) AS V FROM ABTEILUNGEN WHERE AUSTRITT = #12-4-2026#", Value(1)},
      {"Count(*) AS V FROM ABTEILUNGEN WHERE AUSTRITT = #12-4-2026 12:00#", Value(1)},
      {"Count(*) AS V FROM ABTEILUNGEN WHERE AUSTRITT = 0", Value(1)},
      {"AUSTRITT AS V FROM ABTEILUNGEN WHERE ID = 1", Value::Date(46360)},
      {"Count(*) AS V FROM ADRESSEN WHERE KZEHEMALIG=FALSE", Value(2)},
      {"Count(*) AS V FROM ADRESSEN WHERE KZEHEMALIG = True", Value(1)},
      {"KZEHEMALIG AS V FROM ADRESSEN WHERE ADR_INR=1", Value(true)},
      {"'TRUE or FALSE' AS V", Value("TRUE or FALSE")},  // the word inside a text is data
      {"'x & #1-1-2000#' AS V", Value("x & #1-1-2000#")},
      // ISO text in a date column reads as a date.
      {"ZEITSTEMPEL AS V FROM HISTORY", Value::Date(Day(2026, 12, 4, 10))},
  };
  for (const auto& [sql, v] : cases) EXPECT_EQ(Query(std::string("SELECT ") + sql), v) << sql;
}

TEST_F(AccessDialect, ConcatenationWithNulls) {
  raw->Exec(
      "INSERT INTO ADRESSEN (ADR_INR, NAME1, VORNAME, TITEL) VALUES "
      "(1, 'Berg', 'Anna', NULL), (2, 'Berg', NULL, NULL), (3, NULL, NULL, NULL)");
  struct Case {
    const char* expr;
    int adr;
    Value v;
  } cases[] = {
      {"(NAME1 & ', ' & VORNAME)", 1, Value("Berg, Anna")},
      {"(NAME1 & ', ' & VORNAME)", 2, Value("Berg, ")},
      {"(TITEL & VORNAME)", 3, Value::Null()},
      {"(NAME1 + ', ' + VORNAME)", 1, Value("Berg, Anna")},
      {"(NAME1 + ', ' + VORNAME)", 2, Value::Null()},
      {"NAME1 & 'x' & 'y'", 1, Value("Bergxy")},
      {"(2 + 3)", 1, Value(5)},
      {"ADR_INR & '-' & (ADR_INR + 1)", 1, Value("1-2")},
      {"MID(NAME1, 2, 2)", 1, Value("er")},
      {"MID('Müller', 2)", 1, Value("üller")},
      {"INSTR(1, NAME1, 'RG')", 1, Value(3)},
      {"INSTR(4, NAME1, 'b')", 1, Value(0)},
      {"'a & b' & ''", 1, Value("a & b")},
      {"\"O'Neil\"", 1, Value("O'Neil")},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Query(std::string("SELECT ") + c.expr +
                    " AS V FROM ADRESSEN WHERE ADR_INR=" + std::to_string(c.adr)),
              c.v)
        << c.expr;
}

TEST_F(AccessDialect, TranslationKeepsLiteralsAndNames) {
  // Texts side by side stay two texts (an error, as in Access), never one
  // with a quote inside; a statement left inside a text is left as written.
  EXPECT_EQ(TranslateAccessToSqlite("SELECT \"a\"'b' FROM T"), "SELECT 'a' 'b' FROM T");
  EXPECT_EQ(TranslateAccessToSqlite("SELECT 'a'\"b\" & X FROM T"),
            "SELECT acc_concat('a' 'b', X) FROM T");
  EXPECT_EQ(TranslateAccessToSqlite("SELECT \"open"), "SELECT \"open");
  EXPECT_EQ(TranslateAccessToSqlite("SELECT A & 'open"), "SELECT A & 'open");
  EXPECT_FALSE(ParseAccessDateLiteral("2-30-2003"));
  EXPECT_EQ(ParseAccessDateLiteral("2-5-2003 14:07"), Day(2003, 2, 5, 14, 7));
}

}  // namespace
}  // namespace kb6::test

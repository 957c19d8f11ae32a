// The Access dialect and its literals run for real on an SQLite club file.
#include "db/access_dialect.h"

#include <gtest/gtest.h>

#include <tuple>

#include "db/access_translation.h"
#include "db/literals.h"
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
      {"Count(*) AS V FROM ABTEILUNGEN WHERE AUSTRITT = #12-4-2026#", Value(1)},
      {"Count(*) AS V FROM ABTEILUNGEN WHERE AUSTRITT = #12-4-2026 12:00#", Value(1)},
      {"Count(*) AS V FROM ABTEILUNGEN WHERE AUSTRITT = 0", Value(1)},
      {"Count(*) AS V FROM ADRESSEN WHERE KZEHEMALIG=FALSE", Value(2)},
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
  const std::tuple<const char*, int, Value> cases[] = {
      {"(NAME1 & ', ' & VORNAME)", 2, Value("Berg, ")},
      {"(TITEL & VORNAME)", 3, Value::Null()},
      {"(NAME1 + ', ' + VORNAME)", 1, Value("Berg, Anna")},
      {"(NAME1 + ', ' + VORNAME)", 2, Value::Null()},
      {"(2 + 3)", 1, Value(5)},
      {"ADR_INR & '-' & (ADR_INR + 1)", 1, Value("1-2")},
      {"MID(NAME1, 2, 2)", 1, Value("er")},
      {"MID('Müller', 2)", 1, Value("üller")},
      {"INSTR(1, NAME1, 'RG')", 1, Value(3)},
      {"INSTR(4, NAME1, 'b')", 1, Value(0)},
      {"\"O'Neil\"", 1, Value("O'Neil")},
  };
  for (const auto& [expr, adr, v] : cases)
    EXPECT_EQ(Query(std::string("SELECT ") + expr +
                    " AS V FROM ADRESSEN WHERE ADR_INR=" + std::to_string(adr)),
              v)
        << expr;
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

TEST_F(AccessDialect, LiteralAddInsertFieldValues) {
  struct Case {
    const char* value;
    const char* type;
    bool keep_blanks;
    const char* values;  // the value list, "()" when skipped
  } cases[] = {
      {" x ", "A", false, "('x')"},
      {" x ", "A", true, "(' x ')"},
      {"   ", "A", false, "()"},
      {"O'Connor", "A", false, "('O´Connor')"},
      {"12.,3", "N", false, "()"},  // numeric to the test, but two values as a literal
      {"12.50", "N", false, "(12.50)"},
      {"1.234,56", "N", false, "(1234.56)"},
      {".5", "N", false, "()"},
      {"0", "D", false, "()"},
      {"05.02.1500", "D", false, "()"},
      {"05.02.2003", "D", false, "(#2-5-2003#)"},
      {"05.02.2003 14:07:09", "DT", false, "(#2-5-2003 14:07#)"},
      {"x", "Q", false, "()"},
  };
  for (const Case& c : cases) {
    std::string s = "INSERT INTO T () VALUES ()";
    AddInsertField(db->CurrentDialect(), regional, s, c.value, "C", c.type, c.keep_blanks);
    const std::string want = std::string(c.values) == "()"
                                 ? "INSERT INTO T () VALUES ()"
                                 : std::string("INSERT INTO T (C) VALUES ") + c.values;
    EXPECT_EQ(s, want) << c.value << " " << c.type;
  }
  std::string no_template = "INSERT INTO T VALUES (1)";
  AddInsertField(db->CurrentDialect(), regional, no_template, "x", "C", "A", false);
  EXPECT_EQ(no_template, "INSERT INTO T VALUES (1)");
}

TEST_F(AccessDialect, LiteralsOfBothBackEnds) {
  EXPECT_EQ(SQLNumberLiteral(regional, Value(12.5)), "12.5");
  EXPECT_EQ(FormatAmount(regional, -2), "-2.00");
  std::string v = "5.2.2003";
  EXPECT_EQ(CheckDateValue(regional, v), "");
  EXPECT_EQ(v, "05.02.2003");
  auto lit = [&](const Value& v) { return SQLDateLiteral(db->CurrentDialect(), regional, v); };
  EXPECT_EQ(lit(Value("keins")), "#01-01-1980#");
  EXPECT_EQ(lit(Value("30.12.1899")), "#12-30-1899#");
  db->ConnectSQLServer();  // sets the SQL Server dialect; no server is needed for literals
  EXPECT_EQ(lit(Value::Date(Day(2003, 2, 5, 14, 7, 9))), "{ts '2003-02-05 14:07:09'}");
  EXPECT_EQ(lit(Value("14:07:09")), "{ts '1899-12-30 14:07:09'}");
  EXPECT_EQ(lit(Value("keins")), "{d '1980-01-01' }");
}

TEST(SqlKeyLiteral, NumbersStayPlainAnythingElseIsQuoted) {
  const RegionalSettings r = RegionalSettings::German();
  const std::pair<Value, const char*> cases[] = {
      {Value(42), "42"},
      {Value(3.0), "3"},
      {Value(1.5), "1.5"},
      {Value("0042"), "0042"},
      {Value("4 OR 1=1"), "'4 OR 1=1'"},
      {Value("x'y"), "'x''y'"},
      {Value(""), "''"},
      {Value("-"), "'-'"},
      {Value("1234567890123456789"), "'1234567890123456789'"}};
  for (const auto& [key, literal] : cases) EXPECT_EQ(SqlKeyLiteral(r, key), literal) << literal;
  EXPECT_EQ(SqlKeyLiteral(r, Value::Null()), "");
}

// What the monitor assigns to a DATETIME or BOOLEAN column is stored in the
// file's own form (day serials, -1/0), so that other programs' comparisons find it.
TEST_F(AccessDialect, JetEveryWayOfAssigningFollowsTheRules) {
  raw->Exec("INSERT INTO STAMM1 (ID, ART, NR, NAME) VALUES (7, 'B', 7, 'x')");
  const char* z = "ZEITSTEMPEL";  // of HISTORY; any other column is BJOURNAL's
  const char* b = "bjoKZVerarbeitet || bjoSpendenartErstellt";
  const struct {
    const char* statement;  // Access dialect, through the database module
    const char* column;
    int id;
    const char* stored;  // typeof and value, as another program sees the column
  } cases[] = {
      {"INSERT INTO HISTORY (ID, ZEITSTEMPEL, TEXT) VALUES (1, '06.12.2026 10:30:00', 'a')", z, 1,
       "real 46362.4375"},
      {"INSERT INTO HISTORY (ID, ZEITSTEMPEL, TEXT) VALUES (2, '2026-12-04T10:00:00', 'b')", z, 2,
       "real 46360.4166666667"},
      {"INSERT INTO HISTORY (ID, ZEITSTEMPEL, TEXT) VALUES (3, #12-6-2026#, 'c')", z, 3,
       "integer 46362"},
      {"INSERT INTO HISTORY (ID, ZEITSTEMPEL, TEXT) SELECT 4, '31.01.2027', 'd' FROM STAMM1", z, 4,
       "integer 46418"},
      // No date: stays as it is, the way reading shows it too.
      {"INSERT INTO HISTORY (ID, ZEITSTEMPEL, TEXT) VALUES (5, 'bald', 'e')", z, 5, "text bald"},
      {"INSERT INTO HISTORY (ID, ZEITSTEMPEL, TEXT) VALUES (6, NULL, 'f')", z, 6, "null "},
      {"UPDATE HISTORY SET ZEITSTEMPEL = '1.2.2027' WHERE ID = 6", z, 6, "integer 46419"},
      {"UPDATE HISTORY SET TEXT = 'g' WHERE ID = 5", z, 5, "text bald"},
      {"INSERT INTO BJOURNAL (ID, ART, bjoKZVerarbeitet, bjoSpendenartErstellt) "
       "VALUES (1, '2', 1, 2.5)",
       b, 1, "text -1-1"},
      {"INSERT INTO BJOURNAL (ID, ART, bjoKZVerarbeitet, bjoSpendenartErstellt) "
       "VALUES (2, '2', 0, 'True')",
       b, 2, "text 0-1"},
      {"UPDATE BJOURNAL SET bjoSpendenartErstellt = 'false', bjoKZVerarbeitet = 7 WHERE ID = 1", b,
       1, "text -10"},
      // UPDATE with a join, Access's form.
      {"UPDATE BJOURNAL, STAMM1 SET BJOURNAL.SPENDENDRUCK = '06.12.2026', "
       "BJOURNAL.bjoSpendenartErstellt = STAMM1.NR WHERE STAMM1.ID = 7 AND BJOURNAL.ID = 2",
       "SPENDENDRUCK || '/' || bjoSpendenartErstellt", 2, "text 46362/-1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    ASSERT_EQ(db->ExecuteSQL(c.statement, false), 1);
    const std::string column = c.column;
    EXPECT_EQ(
        raw->One("SELECT typeof(" + column + ") || ' ' || ifnull(" + column + ", '') FROM " +
                 (c.column == z ? "HISTORY" : "BJOURNAL") + " WHERE ID = " + std::to_string(c.id)),
        c.stored);
  }
  // A date comparison from plain SQL finds the rows written as texts (a
  // whole day is kept as an integer by the column's numeric affinity).
  EXPECT_EQ(raw->One("SELECT group_concat(ID) FROM (SELECT ID FROM HISTORY "
                     "WHERE ZEITSTEMPEL > 46362 AND ZEITSTEMPEL < 47000 ORDER BY ID)"),
            "1,4,6");
  // The rules belong to the monitor's connection, not to the file.
  raw->Exec("INSERT INTO HISTORY (ID, ZEITSTEMPEL, TEXT) VALUES (9, '06.12.2026', 'a')");
  EXPECT_EQ(raw->One("SELECT typeof(ZEITSTEMPEL) || ' ' || ZEITSTEMPEL FROM HISTORY WHERE ID = 9"),
            "text 06.12.2026");
}

}  // namespace
}  // namespace kb6::test

#include "db/literals.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace kb6::test {
namespace {

class Literals : public ClubTest {};

TEST_F(Literals, AddInsertFieldValues) {
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
      {"1.5", "N", false, "(15)"},
      {"abc", "N", false, "()"},
      {"0", "N", false, "(0)"},
      {".5", "N", false, "()"},
      {"0", "D", false, "()"},
      {"05.02.1500", "D", false, "()"},
      {"05.02.3000", "D", false, "()"},
      {"keins", "D", false, "()"},
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

TEST_F(Literals, DateLiteralsOfBothBackEnds) {
  const Value plain = Value::Date(Day(2003, 2, 5));
  const Value timed = Value::Date(Day(2003, 2, 5, 14, 7, 9));
  auto lit = [&](const Value& v) { return SQLDateLiteral(db->CurrentDialect(), regional, v); };
  EXPECT_EQ(lit(plain), "#2-5-2003#");
  EXPECT_EQ(lit(timed), "#2-5-2003 14:07#");
  EXPECT_EQ(lit(Value("keins")), "#01-01-1980#");
  EXPECT_EQ(lit(Value("30.12.1899")), "#12-30-1899#");
  EXPECT_EQ(lit(Value("01.01.1900")), "#1-1-1900#");
  db->ConnectSQLServer();  // sets the SQL Server dialect; no server is needed for literals
  EXPECT_EQ(lit(plain), "{d '2003-02-05'}");
  EXPECT_EQ(lit(timed), "{ts '2003-02-05 14:07:09'}");
  EXPECT_EQ(lit(Value("14:07:09")), "{ts '1899-12-30 14:07:09'}");
  EXPECT_EQ(lit(Value("keins")), "{d '1980-01-01' }");
}

TEST_F(Literals, NumbersAmountsAndQuotes) {
  EXPECT_EQ(SQLNumberLiteral(regional, Value("1.234,56")), "1234.56");
  EXPECT_EQ(SQLNumberLiteral(regional, Value(12.5)), "12.5");
  EXPECT_EQ(FormatAmount(regional, 1234.5), "1234.50");
  EXPECT_EQ(FormatAmount(regional, -2), "-2.00");
  EXPECT_EQ(FormatAmount(regional, 3), "3.00");
  EXPECT_EQ(QuoteText("x' WHERE 1=1 --"), "x'' WHERE 1=1 --");
  std::string v = "5.2.2003";
  EXPECT_EQ(CheckDateValue(regional, v), "");
  EXPECT_EQ(v, "05.02.2003");
  std::string zero = "0";
  EXPECT_EQ(CheckDateValue(regional, zero), "Kein Datum");
}

TEST(SqlKeyLiteral, NumbersStayPlainAnythingElseIsQuoted) {
  const RegionalSettings r = RegionalSettings::German();
  const std::pair<Value, const char*> cases[] = {
      {Value(42), "42"},
      {Value(-7), "-7"},
      {Value(3.0), "3"},
      {Value(1.5), "1.5"},
      {Value("0042"), "0042"},
      {Value("-3"), "-3"},
      {Value("4 OR 1=1"), "'4 OR 1=1'"},
      {Value("x'y"), "'x''y'"},
      {Value(""), "''"},
      {Value("-"), "'-'"},
      {Value("1,5"), "'1,5'"},
      {Value("1234567890123456789"), "'1234567890123456789'"}};
  for (const auto& [key, literal] : cases) EXPECT_EQ(SqlKeyLiteral(r, key), literal) << literal;
  EXPECT_EQ(SqlKeyLiteral(r, Value::Null()), "");
}

}  // namespace
}  // namespace kb6::test

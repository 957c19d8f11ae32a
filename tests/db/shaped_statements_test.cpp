// Statements run as bound shapes must do exactly what their texts do: the
// same stored bytes, the same comparisons, the same column names and the same
// errors. Each case runs on two real files, once as text through SQLite
// directly and once through PreparedStatements (as an SQLite text, or in the
// Access dialect by its Access shape against its translation), and the
// results and files are compared.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "db/access_dialect.h"
#include "db/access_shape.h"
#include "db/access_translation.h"
#include "db/provider.h"
#include "db/sqlite_prepared_statements.h"
#include "db/sqlite_provider.h"
#include "db/statement_shape.h"
#include "statement_runs.h"
#include "test_support.h"

namespace kb6::test {
namespace {

// The key with its placeholder bytes spelled T (text), Q ("text") and N.
std::string Readable(const std::string& key) {
  std::string out;
  for (char c : key) out += c == '\x01' ? 'T' : c == '\x02' ? 'Q' : c == '\x03' ? 'N' : c;
  return out;
}

TEST(StatementShape, WhatIsBoundAndWhatStays) {
  struct Case {
    const char* sql;
    const char* key;
    size_t literals;
  };
  const Case cases[] = {
      {"UPDATE A SET X = 'it''s', Y=2 WHERE ID = 3", "UPDATE A SET X = ?, Y=? WHERE ID = ?", 3},
      {"SELECT NAME FROM STAMM1 WHERE ART='B' AND NR=2",
       "SELECT NAME FROM STAMM1 WHERE ART=? AND NR=?", 2},
      {"SELECT a FROM t ORDER BY 2", "SELECT a FROM t ORDER BY 2", 0},
      {"SELECT 1e5, 9223372036854775808, x'41', \"a'b\", [c'd]",
       "SELECT 1e5, 9223372036854775808, x'41', \"a'b\", [c'd]", 0},
      {"SELECT 0.30000000000000004, 235.00, -0.0, 0", "SELECT 0.30000000000000004, ?, -0.0, ?", 2},
      {"  (SELECT 1)", "  (SELECT ?)", 1},
  };
  StatementShape shape;
  for (const Case& c : cases) {
    ASSERT_TRUE(ShapeStatement(c.sql, shape)) << c.sql;
    EXPECT_EQ(shape.key, c.key) << c.sql;
    EXPECT_EQ(shape.literals.size(), c.literals) << c.sql;
  }
  const std::string unbound[] = {
      // Statements that keep their text: schema, pragmas, named markers, numbers joined to names,
      "CREATE TABLE t (a DEFAULT 5)", "PRAGMA user_version = 3", "SELECT :a", "SELECT $a",
      // unclosed texts, comments and a NUL inside a text.
      "SELECT 1abc", "SELECT 'open", "SELECT 1 -- x", std::string("SELECT 'a\0b'", 12)};
  for (const std::string& sql : unbound) EXPECT_FALSE(ShapeStatement(sql, shape)) << sql;
}

TEST(AccessShape, WhatIsBoundAndWhatStays) {
  struct Case {
    const char* sql;
    const char* key;
  };
  const Case cases[] = {
      {"UPDATE A SET X = 'it''s', Y=2 WHERE ID = 3", "UPDATE A SET X = T, Y=N WHERE ID = N"},
      {"SELECT X FROM A WHERE K = FALSE AND D > #12-4-2026 12:30#",
       "SELECT X FROM A WHERE K = FALSE AND D > N"},
      {"SELECT \"O'Neil\" & NAME1 AS V FROM A", "SELECT Q & NAME1 AS V FROM A"},
      {"SELECT a FROM t WHERE b = 'x' ORDER BY 2, 'y'",
       "SELECT a FROM t WHERE b = T ORDER BY 2, T"},
      {"SELECT 1e5, 9223372036854775808, 0.30000000000000004, 235.00, -7",
       "SELECT 1e5, 9223372036854775808, 0.30000000000000004, N, -N"},
      {"  (SELECT 1)", "  (SELECT N)"},
      {"SELECT [a#b'c] FROM t WHERE x = 1", "SELECT [a#b'c] FROM t WHERE x = N"},
      // A placeholder byte in a bound text is only data.
      {"SELECT a FROM t WHERE b = 'a\x01'", "SELECT a FROM t WHERE b = T"},
  };
  const std::string unshaped[] = {
      // "#" that is no date, or a date where a bound number would differ.
      "SELECT a FROM t WHERE b = #abc#", "SELECT a FROM t WHERE b = '#' AND c = # 'x' #",
      "SELECT a FROM t ORDER BY #1-1-2020#", "SELECT a FROM t WHERE b = 5#1-1-2020#",
      // Literals joined to their neighbours, blobs, markers, comments.
      "SELECT x'41' FROM t", "SELECT a FROM t WHERE b = 'x'5", "SELECT t.5 FROM t",
      "SELECT 1.2.3 FROM t", "SELECT 1abc FROM t", "SELECT a FROM t WHERE b = :b",
      "SELECT a FROM t WHERE b = ?", "SELECT Mid$(a, 1) FROM t", "SELECT `a` FROM t",
      "SELECT a FROM t -- 'x'", "SELECT a FROM t WHERE b = 'open",
      "SELECT a FROM t WHERE b = 0.0000000000012",
      // A placeholder byte in a name; SQLite ends a text at NUL, a bound text would go on.
      "SELECT [a\x02] FROM t", "CREATE TABLE t (a DEFAULT 5)", "",
      std::string("SELECT 'a\0b' FROM t", 20)};
  AccessShape shape;
  for (const Case& c : cases) {
    ASSERT_TRUE(ShapeAccessStatement(c.sql, shape)) << c.sql;
    EXPECT_EQ(Readable(shape.key), c.key) << c.sql;
  }
  for (const std::string& sql : unshaped) EXPECT_FALSE(ShapeAccessStatement(sql, shape)) << sql;
  ASSERT_TRUE(ShapeAccessStatement("SELECT \"a\"\"b\", 'c''d', #2-29-2024 6:00#, 7.5, 12", shape));
  ASSERT_EQ(shape.literals.size(), 5u);
  EXPECT_EQ(shape.literals[0].text, "a\"b");
  EXPECT_EQ(shape.literals[1].text, "c'd");
  EXPECT_EQ(shape.literals[2].real, 45351.25);
  EXPECT_EQ(shape.literals[3].real, 7.5);
  EXPECT_EQ(shape.literals[4].integer, 12);
}

TEST(AccessShape, AScanResumedAfterAKnownStartEndsAsAWholeScan) {
  const char* statements[] = {
      // Shared starts with and without a shape of their own: texts and numbers,
      "SELECT a FROM t WHERE b = 'x' AND c = 5", "SELECT a FROM t WHERE b = 'y''z' AND c = 6.5",
      "SELECT a FROM t WHERE b = 'y' AND c = 1e5", "SELECT a FROM t WHERE b = x5",
      "SELECT a FROM t WHERE b = 'open", "SELECT a FROM t ORDER BY 'x', 2",
      "SELECT a FROM t ORDER BY 'y', 3 -- c", "SELECT a FROM t ORDER BY c, 'x', 2",
      // dates and names.
      "INSERT INTO t (a, b) VALUES (#1-2-2003#, 'q')",
      "INSERT INTO t (a, b) VALUES (#1-2-2003 4:05#, 7)", "INSERT INTO t (a, b) VALUES (#bad#, 7)",
      "INSERT INTO t (a, b) VALUES (12, [c#])"};
  int resumed_scans = 0, resumed_shapes = 0;
  for (const char* first : statements) {
    AccessShape known;
    if (!ShapeAccessStatement(first, known) || known.prefix.length == 0) continue;
    for (const char* second : statements) {
      const std::string_view s(second);
      if (s.size() <= known.prefix.length ||
          s.substr(0, known.prefix.length) !=
              std::string_view(first).substr(0, known.prefix.length))
        continue;
      AccessShape whole, resumed;
      const bool whole_ok = ShapeAccessStatement(s, whole);
      ASSERT_EQ(ShapeAccessStatement(s, resumed, &known.prefix), whole_ok) << first << " | " << s;
      ++resumed_scans;
      if (!whole_ok) continue;
      ++resumed_shapes;
      EXPECT_EQ(resumed.key, whole.key) << s;
      EXPECT_EQ(resumed.spans, whole.spans) << s;
      EXPECT_EQ(resumed.prefix.length, whole.prefix.length) << s;
      ASSERT_EQ(resumed.literals.size(), whole.literals.size()) << s;
      for (size_t k = 0; k < whole.literals.size(); ++k) {
        EXPECT_EQ(resumed.literals[k].text, whole.literals[k].text) << s;
        EXPECT_EQ(resumed.literals[k].integer, whole.literals[k].integer) << s;
      }
    }
  }
  // Pairs that share a start, both those that have a shape and those that do not.
  EXPECT_GE(resumed_scans, 15);
  EXPECT_GE(resumed_shapes, 10);
}

class ShapedStatements : public ::testing::Test {
 protected:
  void SetUp() override {
    for (sqlite3* db : {text_db.get(), shape_db.get()}) {
      ConfigureSqliteConnection(db);
      ASSERT_EQ(sqlite3_exec(db,
                             "CREATE TABLE t (id INTEGER PRIMARY KEY, i INTEGER, r REAL, "
                             "n NUMERIC, s TEXT, d DATETIME, b BOOLEAN, u);"
                             "CREATE TABLE w (id INTEGER PRIMARY KEY, s TEXT)",
                             nullptr, nullptr, nullptr),
                SQLITE_OK);
    }
  }
  std::string RunShaped(bool access, const std::string& sql) {
    try {
      const PreparedStatement lent = access ? statements.GetAccess(sql) : statements.Get(sql);
      return StepAndDescribe(shape_db.get(), lent.get());
    } catch (const DbError& e) {
      return "error " + std::string(e.what());
    }
  }
  void ExpectSame(const std::string& sql) {
    EXPECT_EQ(RunShaped(false, sql), RunAsText(text_db.get(), sql)) << sql;
  }
  void ExpectSameAccess(const std::string& access_sql) {
    EXPECT_EQ(RunShaped(true, access_sql),
              RunAsText(text_db.get(), TranslateAccessToSqlite(access_sql)))
        << access_sql;
  }
  TempDir dir;
  SqliteFile text_db = OpenTestFile(dir.File("text.db"));
  SqliteFile shape_db = OpenTestFile(dir.File("shape.db"));
  PreparedStatements statements{shape_db.get()};
};

TEST_F(ShapedStatements, LiteralsStoreAndCompareAsTheirTexts) {
  const char* values[] = {
      // Numbers at the edges of integer and real, written in every form.
      "12", "1.0", "1.5", "-0", "-0.0", "0.1", "0.000", "235.00", "-57.00", "46363.1083333333",
      "46363.108333333333333", "0.30000000000000004", "9223372036854775807", "9223372036854775808",
      "-9223372036854775808", "12345678901234567890", "1e5", ".5", "1.", "007", "-1", "(-1)",
      // Texts that look like numbers or need quoting, blobs and Null.
      "'12'", "'12.0'", "''", "'it''s'", "'Müller, Renée'", "' 12 '", "x'41'", "X'00ff'", "NULL"};
  int id = 0;
  for (const char* v : values) {
    std::string row = std::to_string(++id);
    for (int k = 0; k < 7; ++k) row += std::string(", ") + v;
    ExpectSame("INSERT INTO t (id, i, r, n, s, d, b, u) VALUES (" + row + ")");
    for (const char* col : {"i", "r", "n", "s", "u"}) {
      ExpectSame(std::string("SELECT id FROM t WHERE ") + col + " = " + v + " ORDER BY id");
      ExpectSame(std::string("SELECT count(*) AS c FROM t WHERE ") + col + " < " + v);
      ExpectSame(std::string("UPDATE t SET u = u WHERE ") + col + " >= " + v);
    }
  }
  ExpectSame("SELECT * FROM t ORDER BY id");
  ExpectSame("SELECT id, typeof(i), typeof(r), typeof(n), typeof(s), typeof(u) FROM t ORDER BY 1");
}

// Fills "{}" in `pattern` with `values` in turn.
std::string Fill(std::string pattern, const std::vector<std::string>& values) {
  for (const std::string& v : values) pattern.replace(pattern.find("{}"), 2, v);
  return pattern;
}

TEST_F(ShapedStatements, LaterStatementsOfAShapeRunAsTheirTranslations) {
  // The first fill of each pattern makes the shape; every later one only
  // binds its literals.
  const std::vector<std::string> numbers = {
      "1", "2.5", "0.1", "-7", "235.00", "46363.1083333333", "9223372036854775807", "007"};
  const std::vector<std::string> texts = {"'x'",    "''",    "'it''s'",      "'Müller, Renée'",
                                          "' 12 '", "'1.5'", "'06.12.2026'", "'\x01 0 \x01'"};
  const std::vector<std::string> quoted = {"\"a\"", "\"O'Neil\"", "\"\"\"q\"\"\"", "\"\""};
  const std::vector<std::string> dates = {"#12-4-2026#", "#12-4-2026 12:30#",
                                          "#2-29-2024 23:59:59#", "#1-1-1900#", "#00:00#"};
  int id = 0;
  for (size_t k = 0; k < 8; ++k) {
    const std::string& num = numbers[k % numbers.size()];
    const std::string& text = texts[k % texts.size()];
    const std::string& dq = quoted[k % quoted.size()];
    const std::string& date = dates[k % dates.size()];
    const std::string key = std::to_string(++id);
    ExpectSameAccess(
        Fill("INSERT INTO t (id, i, r, n, s, d, b, u) VALUES ({}, {}, {}, {}, {}, {}, {}, {})",
             {key, num, num, text, dq, date, num, text}));
    ExpectSameAccess(Fill("INSERT INTO w (id, s) VALUES ({}, {})", {key, dq}));
    ExpectSameAccess(
        Fill("SELECT id, s & {} & {} AS V, i + {} AS P FROM t WHERE s = {} OR i > {} "
             "ORDER BY id",
             {text, dq, num, text, num}));
    ExpectSameAccess(
        Fill("UPDATE t SET s = s & {} & {}, i = i + {}, d = {} WHERE id = {} AND b = TRUE",
             {dq, text, num, date, key}));
    ExpectSameAccess(
        Fill("UPDATE t, w SET t.u = w.s & {} WHERE t.id = w.id AND w.id = {}", {text, key}));
    ExpectSameAccess(
        Fill("SELECT Count(*) AS V FROM t WHERE d > {} AND n <> {} AND r < {}", {date, text, num}));
    ExpectSameAccess(Fill("SELECT {} AS V, {} AS W FROM t WHERE id IN ({}, {})",
                          {text, num, key, std::to_string(id + 1)}));
  }
  ExpectSameAccess("DELETE FROM t WHERE id = 3");
  ExpectSameAccess("SELECT * FROM t ORDER BY id");
  ExpectSameAccess("SELECT * FROM w ORDER BY id");
  // Every statement ran by its Access shape: nothing reached the split of a
  // translated text, and no text was prepared.
  EXPECT_EQ(statements.shape_count(), 0u);
  EXPECT_EQ(statements.text_count(), 0u);
}

// Each case as an SQLite text and in the Access dialect.
TEST_F(ShapedStatements, PositionsNamesListsAndErrorsAsTheirTexts) {
  for (int id = 1; id <= 5; ++id)
    ExpectSame("INSERT INTO t (id, i, s) VALUES (" + std::to_string(id) + ", " +
               std::to_string(10 - id) + ", 'v" + std::to_string(id % 2) + "')");
  const char* cases[] = {
      // Positions, not constants; column names from the literal text; lists and casts.
      "SELECT id, i FROM t ORDER BY 2", "SELECT id, i FROM t ORDER BY 2 DESC, 1 LIMIT 2 OFFSET 1",
      "SELECT s, count(*) FROM t GROUP BY 1 ORDER BY 1",
      "SELECT 'abc', 5, 1.5, -2 FROM t WHERE id = 1",
      "SELECT 'abc' AS a, 5 AS [b] FROM t WHERE id = 1",
      "SELECT 5 AS 'quoted alias' FROM t WHERE id = 1",
      "SELECT id FROM t WHERE i IN (9, 8, 7) ORDER BY id",
      "SELECT id FROM t WHERE s IN ('v1') ORDER BY id",
      "SELECT id FROM t WHERE s LIKE 'V%' ORDER BY id",
      "SELECT CAST('12' AS INTEGER), CAST(i AS VARCHAR(10)) FROM t WHERE id = 2",
      // Text after the first statement, errors, an unbound marker (stays Null), comments.
      "SELECT id FROM t WHERE id = 2; SELECT 1", "SELECT id FROM t WHERE id = 2;  ",
      "SELECT id FROM nosuchtable WHERE id = 2", "SELEC id FROM t WHERE id = 2",
      "SELECT id FROM t WHERE s = 'unterminated", "SELECT id FROM t WHERE id = ? OR s = 'x'",
      "SELECT id FROM t WHERE id = 2 -- it's a comment", "SELECT id FROM t /* 'x' */ WHERE id = 3",
      // Changes with a constraint error, schema, empty texts, blobs and no dates.
      "INSERT INTO t (id, i) VALUES (1, 5)", "UPDATE t SET i = i + 1 WHERE id >= 2 AND s <> 'v0'",
      "DELETE FROM t WHERE id = 5", "CREATE TABLE u2 (a INTEGER DEFAULT 5, b VARCHAR(10))",
      "INSERT INTO u2 (b) VALUES ('x')", "SELECT * FROM u2", "", "   ", "SELECT x'41' AS V FROM t",
      "SELECT s FROM t WHERE s = #not a date#"};
  for (const std::string sql : cases) {
    ExpectSame(sql);
    // A kept CREATE fails when it runs again, where a new text fails when prepared.
    if (sql.rfind("CREATE", 0) != 0) ExpectSameAccess(sql);
  }
  ExpectSame("SELECT * FROM t ORDER BY id");
}

TEST_F(ShapedStatements, OneStatementPerShapeAndBoundedCaches) {
  for (int k = 0; k < 50; ++k)
    ExpectSame("INSERT INTO t (id, i, s) VALUES (" + std::to_string(k + 1) + ", " +
               std::to_string(k * 7) + ", 'name " + std::to_string(k) + "')");
  EXPECT_EQ(statements.shape_count(), 1u);
  EXPECT_EQ(statements.text_count(), 0u);
  // More shapes than are kept, each used again while others come and go.
  for (size_t round = 0; round < 2; ++round)
    for (size_t k = 0; k < PreparedStatements::kMaxShapes + 20; ++k) {
      const std::string sql =
          "SELECT id AS a" + std::to_string(k) + ", i + " + std::to_string(round) +
          " AS p FROM t WHERE s = 'name 1' AND id = " + std::to_string(1 + k % 2);
      ExpectSame(sql);
      ExpectSameAccess(sql);
    }
  EXPECT_LE(statements.shape_count(), PreparedStatements::kMaxShapes);
  EXPECT_LE(statements.access_shape_count(), PreparedStatements::kMaxShapes);
  for (int k = 0; k < 40; ++k)
    ExpectSame("SELECT id FROM t ORDER BY " + std::to_string(k % 3 + 1) + ", i LIMIT " +
               std::to_string(k));
  EXPECT_LE(statements.text_count(), PreparedStatements::kMaxTexts);
}

TEST(AccessShape, ParametersFollowTheTranslation) {
  // A text in front of a double-quoted one: the translation puts a blank
  // between them, which the shape keeps.
  AccessShape shape;
  const char* adjacent = "SELECT 'a'\"b\" FROM t";
  ASSERT_TRUE(ShapeAccessStatement(adjacent, shape));
  const auto translated = TranslateAccessShape(adjacent, shape);
  ASSERT_TRUE(translated);
  EXPECT_EQ(TranslatedText(adjacent, shape, *translated), TranslateAccessToSqlite(adjacent));
  // A joined UPDATE moves its tables behind SET: the parameters follow the
  // translated order.
  const char* joined =
      "UPDATE t, (SELECT id FROM w WHERE id > 2) AS v SET t.u = 'x' WHERE t.id = v.id";
  ASSERT_TRUE(ShapeAccessStatement(joined, shape));
  const auto moved = TranslateAccessShape(joined, shape);
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->sql,
            "UPDATE t SET u = ?  FROM  (SELECT id FROM w WHERE id > ?) AS v WHERE t.id = v.id");
  EXPECT_EQ(moved->order, (std::vector<uint16_t>{1, 0}));
  EXPECT_EQ(TranslatedText(joined, shape, *moved), TranslateAccessToSqlite(joined));
}

}  // namespace
}  // namespace kb6::test

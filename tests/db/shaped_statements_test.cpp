// Statements run as bound shapes must do exactly what their texts do (stored
// bytes, comparisons, column names, errors): each case runs on two real
// files, as text and through PreparedStatements, and the results are compared.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/access_dialect.h"
#include "db/access_shape.h"
#include "db/access_translation.h"
#include "db/provider.h"
#include "db/sqlite_decimals.h"
#include "db/sqlite_handles.h"
#include "db/sqlite_prepared_statements.h"
#include "db/sqlite_provider.h"
#include "db/statement_shape.h"
#include "test_support.h"

namespace kb6::test {
namespace {

SqliteHandle OpenTestFile(const std::string& path) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  return SqliteHandle(raw);
}

// Steps `st` to its end and writes down all a caller could see: rows as
// "name:type:value|" cells (reals by their bits), the error, the changes.
std::string StepAndDescribe(sqlite3* db, sqlite3_stmt* st) {
  std::string out;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
      out += sqlite3_column_name(st, i);
      out += ':' + std::to_string(sqlite3_column_type(st, i)) + ':';
      if (sqlite3_column_type(st, i) == SQLITE_FLOAT) {
        const double d = sqlite3_column_double(st, i);
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        out += std::to_string(bits);
      } else if (const unsigned char* t = sqlite3_column_text(st, i)) {
        out.append(reinterpret_cast<const char*>(t),
                   static_cast<size_t>(sqlite3_column_bytes(st, i)));
      }
      out += '|';
    }
    out += '\n';
  }
  if (rc != SQLITE_DONE) out += std::string("error ") + sqlite3_errmsg(db);
  return out + "changes " + std::to_string(sqlite3_changes(db));
}

// The text as run before shapes: text after the first statement refused.
std::string RunAsText(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, &tail) != SQLITE_OK)
    return std::string("error ") + sqlite3_errmsg(db);
  const SqliteStatement st(raw);
  if (tail && std::string(tail).find_first_not_of(" ;") != std::string::npos)
    return "error Zeichen nach dem Ende der SQL-Anweisung gefunden.";
  return StepAndDescribe(db, st.get());
}

// A bound text would carry on past a NUL where SQLite ends the statement's
// text; a placeholder byte in a name would read as a literal in the key.
TEST(StatementShape, NoShapeForNulOrPlaceholderBytes) {
  StatementShape shape;
  AccessShape access;
  EXPECT_FALSE(ShapeStatement(std::string("SELECT 'a\0b'", 12), shape));
  EXPECT_FALSE(ShapeAccessStatement(std::string("SELECT 'a\0b' FROM t", 20), access));
  EXPECT_FALSE(ShapeAccessStatement("SELECT [s\x02] FROM t", access));
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
  // Runs `sql` by its shape on one file and as its (translated) text on the other.
  void ExpectSame(const std::string& sql, bool access = false) {
    std::string shaped;
    try {
      const PreparedStatement lent = access ? statements.GetAccess(sql) : statements.Get(sql);
      shaped = StepAndDescribe(shape_db.get(), lent.get());
    } catch (const DbError& e) {
      shaped = "error " + std::string(e.what());
    }
    EXPECT_EQ(shaped, RunAsText(text_db.get(), access ? TranslateAccessToSqlite(sql) : sql)) << sql;
  }
  TempDir dir;
  SqliteHandle text_db = OpenTestFile(dir.File("text.db"));
  SqliteHandle shape_db = OpenTestFile(dir.File("shape.db"));
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

TEST_F(ShapedStatements, LaterStatementsOfAShapeRunAsTheirTranslations) {
  // The first fill of each pattern makes the shape; later ones only bind.
  const std::vector<std::string> numbers = {
      "1", "2.5", "0.1", "-7", "235.00", "46363.1083333333", "9223372036854775807", "007"};
  const std::vector<std::string> texts = {"'x'",    "''",    "'it''s'",      "'Müller, Renée'",
                                          "' 12 '", "'1.5'", "'06.12.2026'", "'\x01 0 \x01'"};
  const std::vector<std::string> quoted = {"\"a\"", "\"O'Neil\"", "\"\"\"q\"\"\"", "\"\""};
  const std::vector<std::string> dates = {"#12-4-2026#", "#12-4-2026 12:30#",
                                          "#2-29-2024 23:59:59#", "#1-1-1900#", "#00:00#"};
  // {k} key, {l} the next key, {n} number, {t} text, {q} double-quoted text, {d} date.
  const char* patterns[] = {
      "INSERT INTO t (id, i, r, n, s, d, b, u) VALUES ({k}, {n}, {n}, {t}, {q}, {d}, {n}, {t})",
      "INSERT INTO w (id, s) VALUES ({k}, {q})",
      "SELECT id, s & {t} & {q} AS V, i + {n} AS P FROM t WHERE s = {t} OR i > {n} ORDER BY id",
      "UPDATE t SET s = s & {q} & {t}, i = i + {n}, d = {d} WHERE id = {k} AND b = TRUE",
      "UPDATE t, w SET t.u = w.s & {t} WHERE t.id = w.id AND w.id = {k}",
      "SELECT Count(*) AS V FROM t WHERE d > {d} AND n <> {t} AND r < {n}",
      "SELECT {t} AS V, {n} AS W FROM t WHERE id IN ({k}, {l})"};
  for (size_t k = 0; k < 8; ++k)
    for (const std::string pattern : patterns) {
      const std::string fills[] = {std::to_string(k + 1),       std::to_string(k + 2),
                                   numbers[k % numbers.size()], texts[k % texts.size()],
                                   quoted[k % quoted.size()],   dates[k % dates.size()]};
      std::string sql;
      for (size_t i = 0; i < pattern.size(); i += pattern[i] == '{' ? 3 : 1)
        sql += pattern[i] == '{' ? fills[std::string("klntqd").find(pattern[i + 1])]
                                 : std::string(1, pattern[i]);
      ExpectSame(sql, true);
    }
  // A joined UPDATE moves its tables behind SET: the parameters follow.
  ExpectSame("UPDATE t, (SELECT id FROM w WHERE id > 2) AS v SET t.u = 'x' WHERE t.id = v.id",
             true);
  ExpectSame("SELECT * FROM t ORDER BY id", true);
  ExpectSame("SELECT * FROM w ORDER BY id", true);
  // Every statement ran by its Access shape, none as a translated text.
  EXPECT_EQ(statements.shape_count(), 0u);
  EXPECT_EQ(statements.text_count(), 0u);
}

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
      "SELECT s FROM t WHERE s = #not a date#",
      // Statements that must keep their text: a "#" that is no date or a
      // date where a bound number would differ, literals joined to their
      // neighbours, markers, names Access does not quote, texts side by side
      // and numbers whose text names their column.
      "SELECT id FROM t WHERE s = '#' AND i = # 'x' #", "SELECT id FROM t ORDER BY #1-1-2020#",
      "SELECT id FROM t WHERE i = 5#1-1-2020#", "SELECT id FROM t WHERE s = 'v1'5",
      "SELECT t.5 FROM t", "SELECT 1.2.3 FROM t", "SELECT 1abc FROM t", "SELECT :a, $b, @c",
      "SELECT Mid$(s, 1) FROM t", "SELECT `s` FROM t", "SELECT 'a'\"b\" FROM t",
      "SELECT 0.0000000000012, 1e5, 9223372036854775808 FROM t", "PRAGMA user_version = 3"};
  for (const std::string sql : cases) {
    ExpectSame(sql);
    // A kept CREATE fails when it runs again, where a new text fails when prepared.
    if (sql.rfind("CREATE", 0) != 0) ExpectSame(sql, true);
  }
  // The second resumes its scan after the first's start: "2" stays a position.
  for (const std::string text : {"'x'", "'y'"})
    ExpectSame("SELECT id, i FROM t ORDER BY " + text + ", 2 DESC, 1", true);
  ExpectSame("SELECT * FROM t ORDER BY id");
}

TEST_F(ShapedStatements, OneStatementPerShapeAndBoundedCaches) {
  for (int k = 0; k < 50; ++k)
    ExpectSame("INSERT INTO t (id, i, s) VALUES (" + std::to_string(k + 1) + ", " +
               std::to_string(k * 7) + ", 'name " + std::to_string(k) + "')");
  // More shapes than are kept, each used again while others come and go.
  for (size_t round = 0; round < 2; ++round)
    for (size_t k = 0; k < PreparedStatements::kMaxShapes + 20; ++k) {
      const std::string sql =
          "SELECT id AS a" + std::to_string(k) + ", i + " + std::to_string(round) +
          " AS p FROM t WHERE s = 'name 1' AND id = " + std::to_string(1 + k % 2);
      ExpectSame(sql);
      ExpectSame(sql, true);
    }
  EXPECT_LE(statements.shape_count(), PreparedStatements::kMaxShapes);
  EXPECT_LE(statements.access_shape_count(), PreparedStatements::kMaxShapes);
  for (int k = 0; k < 40; ++k)
    ExpectSame("SELECT id FROM t ORDER BY " + std::to_string(k % 3 + 1) + ", i LIMIT " +
               std::to_string(k));
  EXPECT_LE(statements.text_count(), PreparedStatements::kMaxTexts);
}

// A bound decimal must store what the linked SQLite reads from the literal's
// text: 200,000 random amounts with 5 to 9 fraction digits, read both ways.
TEST(DecimalBinding, BoundDecimalsEqualSqlitesReadingOfTheText) {
  const SqliteHandle db = OpenTestFile(":memory:");
  const bool binds = SqliteReadsDecimalsAsBound(db.get());
  sqlite3_stmt* raw = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db.get(), "SELECT CAST(?1 AS REAL), ?2", -1, &raw, nullptr),
            SQLITE_OK);
  const SqliteStatement st(raw);
  std::mt19937_64 random(26);
  int bindable = 0;
  int differ = 0;
  char text[32];
  for (int n = 0; n < 200000; ++n) {
    const int digits = 5 + static_cast<int>(random() % 5);
    unsigned long long scale = 1;
    for (int d = 0; d < digits; ++d) scale *= 10;
    const auto whole = static_cast<unsigned long long>(random() % 1000000);
    const auto fraction = static_cast<unsigned long long>(random() % scale);
    std::snprintf(text, sizeof text, "%llu.%0*llu", whole, digits, fraction);
    ShapeLiteral lit;
    if (!BindableNumber(text, lit, true)) continue;
    ++bindable;
    sqlite3_bind_text(st.get(), 1, text, -1, SQLITE_STATIC);
    sqlite3_bind_double(st.get(), 2, lit.real);
    ASSERT_EQ(sqlite3_step(st.get()), SQLITE_ROW);
    if (sqlite3_column_double(st.get(), 0) != sqlite3_column_double(st.get(), 1)) ++differ;
    sqlite3_reset(st.get());
  }
  // On an SQLite that reads even one of them differently, decimals stay text.
  EXPECT_TRUE(differ == 0 || !binds) << sqlite3_libversion() << ": " << differ << " differ";
  EXPECT_GT(bindable, 190000);
}

TEST(DecimalBinding, WithoutDecimalBindingDecimalsStayInTheText) {
  StatementShape shape;
  shape.bind_decimals = false;
  ASSERT_TRUE(ShapeStatement("UPDATE t SET r = 14660.40679, i = 7 WHERE s = 'x'", shape));
  EXPECT_EQ(shape.key, "UPDATE t SET r = 14660.40679, i = ? WHERE s = ?");
}

TEST(LentStatement, ComesBackResetWhenItsCallerThrows) {
  const SqliteHandle db = OpenTestFile(":memory:");
  ASSERT_EQ(sqlite3_exec(db.get(), "CREATE TABLE t (i INTEGER); INSERT INTO t VALUES (1), (2)",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  PreparedStatements statements(db.get());
  const std::string sql = "SELECT i FROM t WHERE i > 0 ORDER BY i";
  try {
    const PreparedStatement lent = statements.Get(sql);
    ASSERT_EQ(sqlite3_step(lent.get()), SQLITE_ROW);
    throw std::runtime_error("a caller that fails between two rows");
  } catch (const std::runtime_error&) {
  }
  // Reset: the next caller binds and reads from the first row again.
  const PreparedStatement again = statements.Get(sql);
  ASSERT_EQ(sqlite3_step(again.get()), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(again.get(), 0), 1);
  // Asked for again while it runs: an error, and the running one goes on.
  EXPECT_THROW(statements.Get("SELECT i FROM t WHERE i > 1 ORDER BY i"), DbError);
  ASSERT_EQ(sqlite3_step(again.get()), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(again.get(), 0), 2);
}

}  // namespace
}  // namespace kb6::test

// Statements run as bound shapes must do exactly what their texts do: the
// same stored bytes, the same comparisons, the same column names and the same
// errors. Each case runs on two real files, once as text through SQLite
// directly and once through PreparedStatements, and the results and files
// are compared.
#include "db/sqlite_prepared_statements.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "db/provider.h"
#include "db/statement_shape.h"
#include "statement_runs.h"
#include "test_support.h"

namespace kb6::test {
namespace {

std::string RunPrepared(sqlite3* db, PreparedStatements& statements, const std::string& sql) {
  try {
    const PreparedStatement lent = statements.Get(sql);
    return StepAndDescribe(db, lent.get());
  } catch (const DbError& e) {
    return "error " + std::string(e.what());
  }
}

class PreparedStatementsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto* db : {text_db.get(), shape_db.get()})
      ASSERT_EQ(sqlite3_exec(db,
                             "CREATE TABLE t (id INTEGER PRIMARY KEY, i INTEGER, r REAL, "
                             "n NUMERIC, s TEXT, d DATETIME, b BOOLEAN, u)",
                             nullptr, nullptr, nullptr),
                SQLITE_OK);
  }
  void ExpectSame(const std::string& sql) {
    EXPECT_EQ(RunPrepared(shape_db.get(), statements, sql), RunAsText(text_db.get(), sql)) << sql;
  }
  TempDir dir;
  SqliteFile text_db = OpenTestFile(dir.File("text.db"));
  SqliteFile shape_db = OpenTestFile(dir.File("shape.db"));
  PreparedStatements statements{shape_db.get()};
};

TEST_F(PreparedStatementsTest, LiteralsStoreAndCompareAsTheirTexts) {
  const char* values[] = {"12",
                          "'12'",
                          "'12.0'",
                          "1.0",
                          "1.5",
                          "-0",
                          "-0.0",
                          "0.1",
                          "0.000",
                          "235.00",
                          "-57.00",
                          "46363.1083333333",
                          "46363.108333333333333",
                          "0.30000000000000004",
                          "9223372036854775807",
                          "9223372036854775808",
                          "-9223372036854775808",
                          "12345678901234567890",
                          "1e5",
                          ".5",
                          "1.",
                          "007",
                          "''",
                          "'it''s'",
                          "'Müller, Renée'",
                          "' 12 '",
                          "x'41'",
                          "X'00ff'",
                          "NULL",
                          "-1",
                          "(-1)"};
  int id = 0;
  for (const char* v : values) {
    ++id;
    const std::string all = std::string(v);
    ExpectSame("INSERT INTO t (id, i, r, n, s, d, b, u) VALUES (" + std::to_string(id) + ", " +
               all + ", " + all + ", " + all + ", " + all + ", " + all + ", " + all + ", " + all +
               ")");
    for (const char* col : {"i", "r", "n", "s", "u"}) {
      ExpectSame(std::string("SELECT id FROM t WHERE ") + col + " = " + v + " ORDER BY id");
      ExpectSame(std::string("SELECT count(*) AS c FROM t WHERE ") + col + " < " + v);
      ExpectSame(std::string("UPDATE t SET u = u WHERE ") + col + " >= " + v);
    }
  }
  ExpectSame("SELECT * FROM t ORDER BY id");
  ExpectSame("SELECT id, typeof(i), typeof(r), typeof(n), typeof(s), typeof(u) FROM t ORDER BY 1");
}

TEST_F(PreparedStatementsTest, PositionsNamesListsAndErrorsAsTheirTexts) {
  for (int id = 1; id <= 5; ++id)
    ExpectSame("INSERT INTO t (id, i, s) VALUES (" + std::to_string(id) + ", " +
               std::to_string(10 - id) + ", 'v" + std::to_string(id % 2) + "')");
  const char* cases[] = {
      "SELECT id, i FROM t ORDER BY 2",  // a position, not a constant
      "SELECT id, i FROM t ORDER BY 2 DESC, 1 LIMIT 2 OFFSET 1",
      "SELECT s, count(*) FROM t GROUP BY 1 ORDER BY 1",
      "SELECT 'abc', 5, 1.5, -2 FROM t WHERE id = 1",  // column names from the literal text
      "SELECT 'abc' AS a, 5 AS [b] FROM t WHERE id = 1",
      "SELECT 5 AS 'quoted alias' FROM t WHERE id = 1",
      "SELECT id FROM t WHERE i IN (9, 8, 7) ORDER BY id",
      "SELECT id FROM t WHERE s IN ('v1') ORDER BY id",
      "SELECT id FROM t WHERE s LIKE 'V%' ORDER BY id",
      "SELECT CAST('12' AS INTEGER), CAST(i AS VARCHAR(10)) FROM t WHERE id = 2",
      "SELECT id FROM t WHERE id = 2; SELECT 1",  // text after the first statement
      "SELECT id FROM t WHERE id = 2;  ",
      "SELECT id FROM nosuchtable WHERE id = 2",
      "SELEC id FROM t WHERE id = 2",
      "SELECT id FROM t WHERE s = 'unterminated",
      "SELECT id FROM t WHERE id = ? OR s = 'x'",  // an unbound marker stays Null
      "SELECT id FROM t WHERE id = 2 -- it's a comment",
      "SELECT id FROM t /* 'x' */ WHERE id = 3",
      "INSERT INTO t (id, i) VALUES (1, 5)",  // a constraint error
      "UPDATE t SET i = i + 1 WHERE id >= 2 AND s <> 'v0'",
      "DELETE FROM t WHERE id = 5",
      "CREATE TABLE u2 (a INTEGER DEFAULT 5, b VARCHAR(10))",
      "INSERT INTO u2 (b) VALUES ('x')",
      "SELECT * FROM u2",
      "",
      "   ",
  };
  for (const char* sql : cases) ExpectSame(sql);
  ExpectSame("SELECT * FROM t ORDER BY id");
}

TEST_F(PreparedStatementsTest, OneStatementPerShapeAndABoundedCache) {
  for (int k = 0; k < 50; ++k)
    ExpectSame("INSERT INTO t (id, i, s) VALUES (" + std::to_string(k + 1) + ", " +
               std::to_string(k * 7) + ", 'name " + std::to_string(k) + "')");
  EXPECT_EQ(statements.shape_count(), 1u);
  EXPECT_EQ(statements.text_count(), 0u);
  for (size_t k = 0; k < PreparedStatements::kMaxShapes + 40; ++k)
    ExpectSame("SELECT id AS a" + std::to_string(k) + " FROM t WHERE id = " + std::to_string(k));
  EXPECT_LE(statements.shape_count(), PreparedStatements::kMaxShapes);
  for (int k = 0; k < 40; ++k)
    ExpectSame("SELECT id FROM t ORDER BY " + std::to_string(k % 3 + 1) + ", i LIMIT " +
               std::to_string(k));
  EXPECT_LE(statements.text_count(), PreparedStatements::kMaxTexts);
}

TEST(StatementShapeTest, WhatIsBoundAndWhatStays) {
  struct Case {
    const char* sql;
    bool bindable;
    const char* key;
    size_t literals;
  };
  const Case cases[] = {
      {"UPDATE A SET X = 'it''s', Y=2 WHERE ID = 3", true, "UPDATE A SET X = ?, Y=? WHERE ID = ?",
       3},
      {"SELECT NAME FROM STAMM1 WHERE ART='B' AND NR=2", true,
       "SELECT NAME FROM STAMM1 WHERE ART=? AND NR=?", 2},
      {"SELECT a FROM t ORDER BY 2", true, "SELECT a FROM t ORDER BY 2", 0},
      {"SELECT 1e5, 9223372036854775808, x'41', \"a'b\", [c'd]", true,
       "SELECT 1e5, 9223372036854775808, x'41', \"a'b\", [c'd]", 0},
      {"SELECT 0.30000000000000004, 235.00, -0.0, 0", true,
       "SELECT 0.30000000000000004, ?, -0.0, ?", 2},
      {"  (SELECT 1)", true, "  (SELECT ?)", 1},
      {"CREATE TABLE t (a DEFAULT 5)", false, "", 0},
      {"PRAGMA user_version = 3", false, "", 0},
      {"SELECT :a", false, "", 0},
      {"SELECT $a", false, "", 0},
      {"SELECT 1abc", false, "", 0},
      {"SELECT 'open", false, "", 0},
      {"SELECT 1 -- x", false, "", 0},
  };
  StatementShape shape;
  for (const Case& c : cases) {
    EXPECT_EQ(ShapeStatement(c.sql, shape), c.bindable) << c.sql;
    if (!c.bindable) continue;
    EXPECT_EQ(shape.key, c.key) << c.sql;
    EXPECT_EQ(shape.literals.size(), c.literals) << c.sql;
  }
  EXPECT_FALSE(ShapeStatement(std::string("SELECT 'a\0b'", 12), shape));
}

}  // namespace
}  // namespace kb6::test

#include "db/sqlserver_rewrite.h"

#include <gtest/gtest.h>

#include "common/value.h"

namespace kb6 {
namespace {

TEST(SqlServerRewrite, StatementRewrite) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      // Single table: one blank before and after the set part (lower case too).
      {"update adressen set x = 1", "update adressen  set x = 1 "},
      {"UPDATE ADRESSEN SET ABW_ZAHLER = TRUE, X = FALSE WHERE KZEHEMALIG=FALSE",
       "UPDATE ADRESSEN  SET ABW_ZAHLER = 1, X = 0  WHERE KZEHEMALIG=0"},
      // "False" stays in a statement (only capitals are replaced).
      {"DELETE FROM T WHERE A=False", "DELETE FROM T WHERE A=False"},
      {"UPDATE A SET N = (X & ' ' & MID(Y,1,2)) WHERE Z = 'a & b'",
       "UPDATE A  SET N = (X + ' ' + SUBSTRING(Y,1,2))  WHERE Z = 'a & b'"},
      // Joined tables: the first table, the set part, FROM with the whole list.
      {"UPDATE A, B SET A.x = B.y WHERE A.id = B.id",
       "UPDATE A  SET A.x = B.y  FROM  A, B WHERE A.id = B.id"},
      {"UPDATE A INNER JOIN B ON A.id=B.id SET A.x = 1",
       "UPDATE A   SET A.x = 1 FROM  A INNER JOIN B ON A.id=B.id "},
      {"UPDATE A LEFT OUTER JOIN B ON A.i=B.i SET A.x = 1",
       "UPDATE A LEFT OUTER JOIN B ON A.i=B.i SET A.x = 1"},
      {"INSERT INTO T (A) VALUES (TRUE)", "INSERT INTO T (A) VALUES (1)"},
      // Mended: quoted data and longer names are left alone.
      {"UPDATE ADRESSEN SET EMAIL = 'TRUE.FALSE@x.de' WHERE ADR_INR=1",
       "UPDATE ADRESSEN  SET EMAIL = 'TRUE.FALSE@x.de'  WHERE ADR_INR=1"},
      {"UPDATE T SET ISTRUE = 1", "UPDATE T  SET ISTRUE = 1 "},
      {"UPDATE T SET N = 'somewhere, Mid(' WHERE K=1",
       "UPDATE T  SET N = 'somewhere, Mid('  WHERE K=1"},
      {"UPDATE T SET N = 'O''Connor & Söhne' WHERE K=1",
       "UPDATE T  SET N = 'O''Connor & Söhne'  WHERE K=1"},
      {"UPDATE T SET N = \"x TRUE WHERE y\" WHERE K=TRUE",
       "UPDATE T  SET N = \"x TRUE WHERE y\"  WHERE K=1"},
  };
  for (const Case& c : cases) EXPECT_EQ(RewriteStatementForSqlServer(c.in), c.out) << c.in;
  // WHERE before SET is a failure.
  EXPECT_THROW(RewriteStatementForSqlServer("UPDATE T WHERE X=1 SET Y=2"), RuntimeError);
}

TEST(SqlServerRewrite, QueryRewrite) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"SELECT X FROM A WHERE B=False OR C=true", "SELECT X FROM A WHERE B=0 OR C=1"},
      {"SELECT X FROM A WHERE B=fAlSe", "SELECT X FROM A WHERE B=fAlSe"},
      {"SELECT X FROM A WHERE N=\"Berg\"", "SELECT X FROM A WHERE N='Berg'"},
      {"SELECT INSTR(1, NAME1, 'a') AS P FROM A", "SELECT  CHARINDEX('a', NAME1, 1) AS P FROM A"},
      {"SELECT INSTR(NAME1, 'a') FROM A", "SELECT  CHARINDEX(, 'a', NAME1) FROM A"},
      {"SELECT INSTR(1,A,'x'), INSTR(1,B,'y') FROM T",
       "SELECT  CHARINDEX('x', A, 1), INSTR(1,B,'y') FROM T"},
      // Mended: quoted texts keep their words and double quotes.
      {"SELECT X FROM A WHERE E='TRUE \"x\"'", "SELECT X FROM A WHERE E='TRUE \"x\"'"},
      {"SELECT X FROM A WHERE N=\"O'Neil\"", "SELECT X FROM A WHERE N='O''Neil'"},
      {"SELECT FALSEHOOD FROM A", "SELECT FALSEHOOD FROM A"},
      {"SELECT INSTR(1, A", "SELECT INSTR(1, A"},
      {"SELECT INSTR(1, NAME1, ', ') FROM T", "SELECT  CHARINDEX(', ', NAME1, 1) FROM T"},
      {"SELECT \"a\"'b' FROM T", "SELECT 'a' 'b' FROM T"},
  };
  for (const Case& c : cases) EXPECT_EQ(ConvertQueryForSQLServer(c.in), c.out) << c.in;
}

TEST(SqlServerRewrite, GetToken) {
  std::string text = "  a, b ,c \t\t";
  EXPECT_EQ(GetToken(2, text, ","), " b ");
  EXPECT_EQ(text, "a, b ,c");  // trimmed in place
  EXPECT_EQ(GetToken(4, text, ","), "");
}

}  // namespace
}  // namespace kb6

// The ODBC provider against a real driver manager and a real driver: the
// SQLite ODBC driver stands in for a SQL Server, which cannot run here.
#include "db/odbc/odbc_provider.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "test_support.h"

namespace kb6::test {
namespace {

constexpr const char* kSqliteOdbcDriver = "SQLite3";

// Windows passes the login as a connection string.
TEST(OdbcConnectionString, ValuesThatCouldAddAttributesAreBraced) {
  EXPECT_EQ(BuildOdbcConnectionString(OdbcLoginFromAttributes(
                ConnectionAttributes::Parse("User ID=\" lead\";Password=\"a;DATABASE=x}\";"
                                            "Initial Catalog=c;Data Source=h,1444"),
                "FreeTDS")),
            "DRIVER={FreeTDS};SERVER=h;PORT=1444;DATABASE=c;UID={ lead};PWD={a;DATABASE=x}}};"
            "ClientCharset=UTF-8");
}

class OdbcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RawDb raw(path);
    raw.Exec(
        "CREATE TABLE T (ID INTEGER, BETRAG DOUBLE, NAME VARCHAR(20000), AKTIV BIT, "
        "AM TIMESTAMP, NOTIZ VARCHAR(50))");
    raw.Exec("INSERT INTO T VALUES (1, 12.5, 'Müller', 1, '2026-12-06 10:30:15', NULL)");
    raw.Exec("INSERT INTO T VALUES (2, -3, 'O''Neil', 0, '1999-01-31 00:00:00', 'x')");
    raw.Exec("INSERT INTO T VALUES (3, 0, '" + std::string(10000, 'z') + "', 0, NULL, NULL)");
  }
  TempDir dir;
  std::string path = dir.File("server.db");
};

TEST_F(OdbcTest, QueriesComeBackWholeTypedAndInUtf8) {
  auto s = OpenOdbcSession("DRIVER=" + QuoteOdbcValue(kSqliteOdbcDriver) +
                           ";DATABASE=" + QuoteOdbcValue(path));
  const RowSet r = s->Query("SELECT ID, BETRAG, NAME, AKTIV, AM, NOTIZ FROM T ORDER BY ID");
  EXPECT_EQ(r.columns, (std::vector<std::string>{"ID", "BETRAG", "NAME", "AKTIV", "AM", "NOTIZ"}));
  ASSERT_EQ(r.rows.size(), 3u);
  EXPECT_EQ(r.rows[0],
            (std::vector<Value>{Value(1), Value(12.5), Value("Müller"), Value(true),
                                Value::Date(Day(2026, 12, 6, 10, 30, 15)), Value::Null()}));
  EXPECT_EQ(r.rows[1], (std::vector<Value>{Value(2), Value(-3.0), Value("O'Neil"), Value(false),
                                           Value::Date(Day(1999, 1, 31)), Value("x")}));
  EXPECT_EQ(r.rows[2][2], Value(std::string(10000, 'z')));  // fetched in pieces
  EXPECT_TRUE(r.rows[2][4].IsNull());
  // Statement, column name and value each cross the API as UTF-8 and back.
  EXPECT_EQ(s->Execute("UPDATE T SET NOTIZ = 'Größe € \xf0\x9f\x98\x80' WHERE ID = 2"), 1);
  const RowSet u = s->Query("SELECT NOTIZ AS Straße FROM T WHERE ID = 2");
  EXPECT_EQ(u.columns, std::vector<std::string>{"Straße"});
  EXPECT_EQ(u.rows.at(0).at(0), Value("Größe € \xf0\x9f\x98\x80"));
  // A long text whose pieces end inside a surrogate pair comes back whole.
  std::string emojis = "x";
  for (int i = 0; i < 3000; ++i) emojis += "\xf0\x9f\x98\x80";
  s->Execute("UPDATE T SET NAME = '" + emojis + "' WHERE ID = 1");
  EXPECT_EQ(s->Query("SELECT NAME FROM T WHERE ID = 1").rows.at(0).at(0), Value(emojis));
}

// The SQL Server path of the database module, end to end through the
// registered provider; the SQLite driver reads "Initial Catalog" as its file.
TEST_F(OdbcTest, StatementsAndErrorTextsThroughTheModule) {
  setenv(kOdbcDriverVariable, kSqliteOdbcDriver, 1);
  ProviderRegistry providers;
  RegisterOdbcProvider(providers);
  Settings settings;
  settings.SQLServer_Host = "127.0.0.1";
  settings.SQLServer_DB = path;
  settings.SQLServer_User = "u";
  FixedClock clock{Day(2026, 12, 6)};
  const RegionalSettings regional = RegionalSettings::German();
  Database db(settings, regional, clock, providers);
  std::vector<std::string> logged;
  db.SetErrorLog([&](const std::string& text) { logged.push_back(text); });
  ASSERT_TRUE(db.OpenDatabase());
  EXPECT_EQ(db.ExecuteSQL("UPDATE T SET AKTIV = TRUE WHERE ID = 2", false), 1);
  Recordset rs;
  std::string sql = "SELECT COUNT(*) AS N FROM T WHERE AKTIV = TRUE";
  EXPECT_EQ(db.OpenRecordset(sql, rs), "");
  EXPECT_EQ(sql, "SELECT COUNT(*) AS N FROM T WHERE AKTIV = 1");
  EXPECT_EQ(rs.Field("n"), Value(2));

  sql = "SELEC nonsense";
  const std::string text = db.OpenRecordset(sql, rs);
  EXPECT_NE(text.find(" - "), std::string::npos) << text;  // "native - message"
  EXPECT_NE(text.find("syntax error"), std::string::npos) << text;
  EXPECT_EQ(db.ExecuteSQL("UPDATE NOSUCH SET A = 1", false), -99);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("NOSUCH"), std::string::npos) << logged[0];

  db.CloseDatabase();
  EXPECT_EQ(db.ExecuteSQL("UPDATE T SET ID = 0", false), -99);
  EXPECT_EQ(logged.back(), "Der Vorgang ist für ein geschlossenes Objekt nicht zulässig.");
  unsetenv(kOdbcDriverVariable);
}

}  // namespace
}  // namespace kb6::test

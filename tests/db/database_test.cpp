#include "db/database.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace kb6::test {
namespace {

class DatabaseTest : public ClubTest {
 protected:
  std::string Open(std::string sql) { return db->OpenRecordset(sql, rs); }
  Recordset rs;
};

TEST_F(DatabaseTest, BackEndChoiceIsExactlyLokal) {
  for (const char* host : {"Lokal", "lokal ", ""}) {
    settings.SQLServer_Host = host;
    EXPECT_FALSE(db->OpenDatabase()) << host;  // no SQL Server provider here
    EXPECT_EQ(db->DbKind(), "SQLSERVER");
  }
  settings.SQLServer_Host = "lokal";
  EXPECT_TRUE(db->OpenDatabase());
  EXPECT_EQ(db->DbKind(), "ACCESS");
}

// A ";" in the file name cannot add an attribute of its own.
TEST_F(DatabaseTest, OddAndMissingFileNames) {
  const std::string odd = dir.File("a;Provider=x.db");
  std::filesystem::copy_file(db_path, odd);
  settings.AccessDatenbank = odd;
  EXPECT_TRUE(db->OpenDatabase());
  EXPECT_EQ(ConnectionAttributes::Parse(db->AccessConnectionString()).Get("Data Source"), odd);
  // A missing file is not created.
  settings.AccessDatenbank = dir.File("missing.db");
  EXPECT_FALSE(db->OpenDatabase());
  EXPECT_NE(db->ConnectAccess().find("nicht gefunden"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing.db")));
}

TEST_F(DatabaseTest, OpenRecordsetResults) {
  raw->Exec("INSERT INTO PARAMETER VALUES (1, 'A', NULL)");
  EXPECT_EQ(Open("SELECT FELD, WERT AS w FROM PARAMETER"), "");
  EXPECT_EQ(rs.Field("feld"), Value("A"));
  EXPECT_TRUE(rs.Field("W").IsNull());
  EXPECT_THROW(rs.Field("NOPE"), RuntimeError);
  rs.MoveNext();
  EXPECT_TRUE(rs.EndOfData());
  EXPECT_THROW(rs.Field("FELD"), RuntimeError);
  EXPECT_EQ(Open("SELEC nonsense").rfind("1 - ", 0), 0u);
  EXPECT_EQ(rs.State(), 0);
  db->CloseDatabase();
  // No connection object: recreated lazily for the kind of the last connect.
  EXPECT_EQ(Open("SELECT 1 AS X"), "");
  settings.AccessDatenbank = dir.File("gone.db");
  db->CloseDatabase();
  EXPECT_EQ(Open("SELECT 1 AS X"), "Die Datenbankverbindung konnten nicht aufgebaut werden.");
}

TEST_F(DatabaseTest, FieldFindsTheFirstColumnOfItsNameEveryTime) {
  ASSERT_EQ(Open("SELECT 1 AS A, 2 AS a, 3 AS B"), "");
  // The same buffer with other names in turn, as a caller's variable would be.
  std::string name = "a";
  for (const char* next : {"A", "B", "a", "B", "C"}) {
    EXPECT_EQ(rs.Field(name), name == "B" ? Value(3) : Value(1)) << name;
    name = next;
  }
  EXPECT_THROW(rs.Field(name), RuntimeError);
  // Another result with the same names in another order.
  ASSERT_EQ(Open("SELECT 3 AS B, 1 AS A"), "");
  EXPECT_EQ(rs.Field("A"), Value(1));
  EXPECT_EQ(rs.Field("B"), Value(3));
}

TEST_F(DatabaseTest, ExecuteSqlResultsAndLogging) {
  std::vector<std::string> logged;
  db->SetErrorLog([&](const std::string& d) { logged.push_back(d); });
  EXPECT_EQ(db->ExecuteSQL("", false), 0);
  raw->Exec("INSERT INTO PARAMETER VALUES (1, 'A', 'x'), (2, 'B', 'y')");
  EXPECT_EQ(db->ExecuteSQL("UPDATE PARAMETER SET WERT = 'z'", false), 2);
  EXPECT_EQ(db->ExecuteSQL("UPDATE NOTABLE SET X = 1", true), -99);
  EXPECT_TRUE(logged.empty());
  EXPECT_EQ(db->ExecuteSQL("UPDATE NOTABLE SET X = 1", false), -99);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0], "no such table: NOTABLE");
  // One statement per call: a second one is refused, not run unseen.
  EXPECT_EQ(db->ExecuteSQL("UPDATE PARAMETER SET WERT='a'; DELETE FROM PARAMETER", true), -99);
  EXPECT_EQ(raw->One("SELECT Count(*) FROM PARAMETER"), "2");
  // A count beyond 16 bits is still a count.
  raw->Exec(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i < 40000) "
      "INSERT INTO FUNKTIONEN (ADR_INR) SELECT i FROM n");
  EXPECT_EQ(db->ExecuteSQL("UPDATE FUNKTIONEN SET ADR_INR = ADR_INR + 1", true), 40000);
}

TEST_F(DatabaseTest, KeptQueryFollowsAnotherProgramsWritesAndSchema) {
  raw->Exec("INSERT INTO PARAMETER VALUES (1, 'A', 'alt')");
  ASSERT_EQ(Open("SELECT * FROM PARAMETER WHERE FELD='A'"), "");
  EXPECT_THROW(rs.Field("SEIT"), RuntimeError);
  // A kept statement must not hide another connection's write (old snapshot).
  raw->Exec("UPDATE PARAMETER SET WERT='neu'");
  ASSERT_EQ(Open("SELECT * FROM PARAMETER WHERE FELD='A'"), "");
  EXPECT_EQ(rs.Field("WERT"), Value("neu"));
  // Prepared anew by SQLite: names, values and the date type must follow.
  raw->Exec("ALTER TABLE PARAMETER ADD COLUMN SEIT DATETIME DEFAULT 46362");
  ASSERT_EQ(Open("SELECT * FROM PARAMETER WHERE FELD='A'"), "");
  EXPECT_EQ(rs.Field("SEIT"), Value::Date(46362));
  // A dropped column in the middle: described before the kept statement ran,
  // the names would be the old ones, and B's value would come under A.
  raw->Exec("CREATE TABLE KX (ID INTEGER, A TEXT, B TEXT); INSERT INTO KX VALUES (1, 'a', 'b')");
  ASSERT_EQ(Open("SELECT * FROM KX WHERE ID = 1"), "");
  EXPECT_EQ(rs.Field("A"), Value("a"));
  raw->Exec("ALTER TABLE KX DROP COLUMN A");
  ASSERT_EQ(Open("SELECT * FROM KX WHERE ID = 1"), "");
  EXPECT_EQ(rs.Field("B"), Value("b"));
  EXPECT_THROW(rs.Field("A"), RuntimeError);
}

TEST_F(DatabaseTest, RecordCounterEndsOnUnusableRowsAndAtItsLimit) {
  std::vector<std::string> logged;
  db->SetErrorLog([&](const std::string& d) { logged.push_back(d); });
  raw->Exec(
      "INSERT INTO SATZZAEHLER (ID, TABELLE, FELD, WERT) VALUES (1, 'T0', 'ID', 0),"
      " (1, 'TN', 'ID', NULL), (1, 'TF', 'ID', 5), (1, 'T', 'ID', 2147483646);"
      "CREATE TRIGGER no_update BEFORE UPDATE ON SATZZAEHLER WHEN OLD.TABELLE = 'TF' BEGIN "
      "SELECT RAISE(ABORT, 'gesperrt'); END;"
      "INSERT INTO EHRUNGEN (ID, ADR_INR) VALUES (2147483647, 1);"
      "INSERT INTO FUNKTIONEN (ID, ADR_INR) VALUES (-7, 1)");
  EXPECT_EQ(db->GetNextID("T0", "ID"), 0);
  EXPECT_EQ(db->GetNextID("TN", "ID"), 0);
  // An update that fails every time ends too, after a bounded number of tries.
  EXPECT_EQ(db->GetNextID("TF", "ID"), 0);
  EXPECT_GE(logged.size(), 2u);
  EXPECT_LE(logged.size(), 10u);
  // No counter row yet, the highest key is the largest there is.
  EXPECT_EQ(db->GetNextID("EHRUNGEN", "ID"), 0);
  EXPECT_EQ(raw->One("SELECT WERT FROM SATZZAEHLER WHERE TABELLE='EHRUNGEN'"), "2147483647");
  // A counter one below the limit hands out the last key once.
  EXPECT_EQ(db->GetNextID("T", "ID"), 2147483647);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(db->GetNextID("T", "ID"), 0);
  EXPECT_EQ(raw->One("SELECT WERT FROM SATZZAEHLER WHERE TABELLE='T'"), "2147483647");
  // Only negative keys: counting starts at 1.
  EXPECT_EQ(db->GetNextID("FUNKTIONEN", "ID"), 1);
}

}  // namespace
}  // namespace kb6::test

// Jet's storage rules on the embedded default: what the monitor assigns to a
// DATETIME or BOOLEAN column is stored in the file's own form (REAL day
// serials, -1/0), so that other programs' comparisons find it.
#include <gtest/gtest.h>

#include "test_support.h"

namespace kb6::test {
namespace {

class JetStorageRules : public ClubTest {};

TEST_F(JetStorageRules, EveryWayOfAssigningFollowsTheRules) {
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
      {"UPDATE BJOURNAL SET bjoSpendenartErstellt = 0 WHERE ID = 2", "bjoSpendenartErstellt", 2,
       "integer 0"},
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
}

TEST_F(JetStorageRules, OtherProgramsWritesAreLeftAsTheyAre) {
  // The rules belong to the monitor's connection, not to the file.
  raw->Exec("INSERT INTO HISTORY (ID, ZEITSTEMPEL, TEXT) VALUES (1, '06.12.2026', 'a')");
  EXPECT_EQ(raw->One("SELECT typeof(ZEITSTEMPEL) || ' ' || ZEITSTEMPEL FROM HISTORY"),
            "text 06.12.2026");
  EXPECT_EQ(raw->One("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger'"), "0");
}

}  // namespace
}  // namespace kb6::test

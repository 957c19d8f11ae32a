#include "scheduler/due_checks.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace kb6::test {
namespace {

class DueChecks : public ClubTest {
 protected:
  std::string Stored(const char* key) {
    return raw->One(std::string("SELECT WERT FROM PARAMETER WHERE FELD='") + key + "'");
  }
};

TEST_F(DueChecks, StoredValuesAgainstTheInterval) {
  struct Case {
    const char* key;
    int days;
    const char* stored;  // nullptr: Null
    bool due;
  } cases[] = {
      {"AUFGABENTRAY1", 1, "05.12.2026", true},
      {"AUFGABENTRAY1", 1, nullptr, true},
      {"AUFGABENTRAY1", 1, "05.12.2026 08:00", false},  // limit day with a time of day
      {"AUFGABENTRAY7", 7, "30.11.2026", false},        // six days ago
  };
  for (const Case& c : cases) {
    raw->Exec("DELETE FROM PARAMETER");
    raw->Exec(std::string("INSERT INTO PARAMETER (ID, FELD, WERT) VALUES (9, '") + c.key + "', " +
              (c.stored ? std::string("'") + c.stored + "'" : "NULL") + ")");
    EXPECT_EQ(IntervalDue(*db, regional, clock, c.key, c.days), c.due)
        << c.key << " " << (c.stored ? c.stored : "Null");
    EXPECT_EQ(Stored(c.key), c.due ? "06.12.2026" : c.stored);
  }
}

TEST_F(DueChecks, UnusualParameterTables) {
  // A failing query reports due; the unique key keeps one row.
  raw->Exec("INSERT INTO PARAMETER (ID, FELD, WERT) VALUES (1, 'AUFGABENTRAY1', '06.12.2026')");
  raw->Exec("ALTER TABLE PARAMETER RENAME COLUMN WERT TO WERT_ALT");
  EXPECT_TRUE(XF_DoAufgabenEintaegig(*db, regional, clock));
  EXPECT_EQ(raw->One("SELECT Count(*) FROM PARAMETER"), "1");
  // Without a unique FELD and without text affinity of WERT:
  raw->Exec("DROP TABLE PARAMETER");
  raw->Exec("CREATE TABLE PARAMETER (ID INTEGER, FELD TEXT COLLATE NOCASE, WERT)");
  // The other monitor's row arrives right after this check's insert; both
  // stay and the lowest key wins.
  raw->Exec(
      "CREATE TRIGGER other AFTER INSERT ON PARAMETER WHEN NEW.ID > 0 BEGIN INSERT INTO "
      "PARAMETER VALUES (0, NEW.FELD, NEW.WERT); END");
  EXPECT_FALSE(XF_DoAufgabenEintaegig(*db, regional, clock));
  raw->Exec("DROP TRIGGER other");
  // A number read from WERT is claimed by its own value, not by its text.
  for (const char* stored : {"5", "'x''y'"}) {
    raw->Exec("DELETE FROM PARAMETER");
    raw->Exec(std::string("INSERT INTO PARAMETER VALUES (1, 'AUFGABENTRAY1', ") + stored + ")");
    EXPECT_TRUE(XF_DoAufgabenEintaegig(*db, regional, clock)) << stored;
    EXPECT_EQ(Stored("AUFGABENTRAY1"), "06.12.2026") << stored;
  }
}

}  // namespace
}  // namespace kb6::test

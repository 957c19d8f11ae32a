// The cycle on a real club file: its due checks, its report and its trap.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "scheduler/due_checks.h"
#include "scheduler/monitor_harness.h"
#include "test_support.h"

namespace kb6::test {
namespace {

class Cycle : public ::testing::Test {
 protected:
  void SetUp() override { GenerateClubDatabase(path, ClubShape{.active_addresses = 40}); }
  TempDir dir;
  const std::string path = dir.File("club.db");
  FixedClock clock{Day(2026, 12, 6, 10, 30)};
  Monitor m{path, dir.path(), clock};
};

int OpenHandlesOn(const std::string& path) {
  int n = 0;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    n += std::filesystem::read_symlink(fd.path(), ec).string() == path;
  }
  return n;
}

TEST_F(Cycle, ReportNamesEveryJobWithTheNumberOfItsResultLine) {
  const CycleReport& report = m.Run();
  // The numbers of the result lines, in the order the jobs wrote them.
  const std::string text = ReadFile(m.log.LogFilePath());
  static const std::regex kResult(R"(\d\d:\d\d:\d\d Es wurden?(?:\(n\))?\D*(\d+) )");
  std::vector<int> logged;
  for (std::sregex_iterator m(text.begin(), text.end(), kResult), end; m != end; ++m)
    logged.push_back(std::stoi((*m)[1]));
  std::vector<int> reported;
  std::string order;  // later jobs read what earlier ones wrote
  for (const JobReport& j : report.jobs) {
    order += j.name + " ";
    if (j.name != "gfUpdateDatumsfelder" && j.name != "DailyMaintenance")
      reported.push_back(j.rows);
  }
  EXPECT_EQ(order,
            "gfUpdateDatumsfelder gfUpdateAbteilungenAnzahl gfUpdateSpendenliste gfUpdateAdressen "
            "gfUpdateAbteilungen DailyMaintenance gfRefreshAbteilungsuebersicht "
            "gfRefreshAnzahlAbteilungen gfUpdateAdressenKomplett gfUpdateFeldAnzahlAdressen ");
  EXPECT_EQ(reported, logged);
  EXPECT_FALSE(report.HasFailures());

  m.settings.AccessDatenbank = "";
  m.settings.Datenpfad = dir.File("empty-name");
  EXPECT_EQ(m.Run().open_error, kNoDatabaseFile);
  EXPECT_TRUE(report.jobs.empty());
  EXPECT_FALSE(std::filesystem::exists(m.settings.Datenpfad));
}

TEST_F(Cycle, ATrappedErrorIsLoggedAndLeavesTheMonitorAlive) {
  m.settings.CloseRequested = true;
  m.window.balloon_fails = true;
  const CycleReport& report = m.Run();
  EXPECT_EQ(report.other_errors, 1);
  ASSERT_FALSE(report.intervals.empty());
  EXPECT_TRUE(report.intervals.back().failed);
  EXPECT_NE(ReadFile(m.log.LogFilePath()).find("fMain - Timer_Timer - Automatisierungsfehler"),
            std::string::npos);
  EXPECT_EQ(OpenHandlesOn(path), 0);
  EXPECT_TRUE(m.window.timer);
  EXPECT_TRUE(m.window.unloaded);
}

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

// KB6TRAY --once as a systemd timer sees it: exit 0 done, 1 done with
// failures, 2 not begun.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "process_support.h"
#include "report/tool_run.h"
#include "test_support.h"

namespace kb6::test {
namespace {

class OnceTruth : public ::testing::Test {
 protected:
  void SetUp() override { GenerateClubDatabase(db, {80, 4}); }
  ToolRun Once(std::vector<std::string> args, const std::string& now = "2026-12-07 10:00:00") {
    args.insert(args.begin(), "--once");
    return RunTool(dir.path(), args, {kNoProgressPause, "KB6TRAY_TEST_NOW=" + now});
  }
  ToolRun OnceOn(const std::string& file, const std::string& now = "2026-12-07 10:00:00") {
    return Once({"--access-db", file, "--datenpfad", dir.File("data")}, now);
  }

  TempDir dir;
  std::string db = dir.File("club.db");
};

TEST_F(OnceTruth, ExitCodes) {
  const struct {
    const char* name;
    std::vector<std::string> args;
    const char* err;  // part of standard error
  } cases[] = {
      {"missing file", {"--access-db", dir.File("fehlt.db")}, "wurde nicht gefunden"},
      {"bad argument", {"--access-db", db, "--tray", "nirgends"}, "--tray"},
      {"no database", {}, "--access-db FILE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"--datenpfad", dir.File("data")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ToolRun r = Once(args);
    EXPECT_EQ(r.code, 2) << r.err;  // not begun
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("fehlt.db")));
}

// Held past the busy timeout, the lock counts as not opened.
TEST_F(OnceTruth, ALockAtTheStartIsWaitedForUpToTheBusyTimeout) {
  for (const double seconds : {7.0, 2.0}) {
    SCOPED_TRACE(seconds);
    RawDb locker(db);
    locker.Exec("BEGIN IMMEDIATE");
    std::thread release([&] {
      std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
      locker.Exec("COMMIT");
    });
    const ToolRun r = OnceOn(db);
    release.join();
    EXPECT_EQ(r.code, seconds < 5 ? 0 : 2) << r.err;
    EXPECT_TRUE(
        seconds < 5 ||
        r.err.find("KB6TRAY: Die Datenbank kann nicht geöffnet werden: Die Datenbankdatei '" + db +
                   "' ist gesperrt: database is locked\n") != std::string::npos)
        << r.err;
  }
}

// Corrected, the clock's jump is named, every interval runs and the exit is 1.
TEST_F(OnceTruth, AClockAheadForOneRunDeletesNoMoreAndStopsNothing) {
  RawDb raw(db);
  raw.Exec("DELETE FROM HISTORY");
  // One HISTORY row a month for three years up to today.
  raw.Exec(
      "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i < 36) "
      "INSERT INTO HISTORY (ID, ZEITSTEMPEL) SELECT i + 1, " +
      std::to_string(Day(2026, 12, 7)) + " - 30 * i FROM n");
  const std::string history = "SELECT COUNT(*) FROM HISTORY";
  const std::string stamps =
      "SELECT group_concat(WERT) FROM (SELECT WERT FROM PARAMETER WHERE FELD LIKE "
      "'AUFGABENTRAY%' ORDER BY FELD)";
  ASSERT_EQ(OnceOn(db, "2038-01-20 10:00:00").code, 0);
  EXPECT_EQ(raw.One(history), "25");  // 730 days back from 07.12.2026: 12 gone
  const ToolRun r = OnceOn(db, "2026-12-07 11:00:00");
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("KB6TRAY: Die Systemuhr geht oder ging falsch: Die Datenreorganisation "
                       "1-tägig ist zuletzt am 20.01.2038 gelaufen, heute ist der 07.12.2026."),
            std::string::npos)
      << r.err;
  EXPECT_EQ(raw.One(stamps), "07.12.2026,07.12.2026,07.12.2026");
  EXPECT_EQ(raw.One(history), "25");
  EXPECT_EQ(OnceOn(db, "2026-12-07 11:05:00").code, 0);  // nothing due, nothing named
}

}  // namespace
}  // namespace kb6::test

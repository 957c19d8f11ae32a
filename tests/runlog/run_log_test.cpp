#include "runlog/run_log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace kb6::test {
namespace {

class RunLogTest : public ClubTest {};

TEST_F(RunLogTest, FileLineAndTableRow) {
  settings.RunGuid = "{GUID}";
  log->WriteLog("Fehler .keepclear-4 hier", LogTypeError, "fMain", "Timer_Timer");
  log->WriteLog("Es wurden 3 Adresse(n) aktualisiert.", LogTypeInfo);
  EXPECT_EQ(ReadFile(dir.File("Logfiles/KB6TRAY_261206.log")),
            "10:30:00 fMain - Timer_Timer - Fehler ************ hier\r\n"
            "10:30:00 Es wurden 3 Adresse(n) aktualisiert.\r\n");
  EXPECT_EQ(raw->Rows("SELECT reoID, reoTimeStamp, reoDatum, reoUhrzeit, reoEintrag, reoTyp, "
                      "reoGUID FROM tblALLGReorganisationProtokoll ORDER BY reoID"),
            (std::vector<std::string>{
                "1|46362.4375|06.12.2026|10:30:00|Fehler .keepclear-4 hier|1|{GUID}",
                "2|46362.4375|06.12.2026|10:30:00|Es wurden 3 Adresse(n) aktualisiert.|2|{GUID}"}));
  clock.Set(Day(2026, 12, 7, 0, 0, 1));  // a new day, a new file
  log->WriteLog("morgen", LogTypeInfo);
  settings.Datenpfad = dir.File("a/b/c");  // folders that do not exist yet
  log->WriteLog("x", LogTypeInfo);
  EXPECT_EQ(ReadFile(dir.File("a/b/c/Logfiles/KB6TRAY_261207.log")), "00:00:01 x\r\n");
  settings.Datenpfad = "";  // the executable's folder (here: the test folder)
  log->WriteLog("y", LogTypeInfo);
  EXPECT_EQ(ReadFile(dir.File("Logfiles/KB6TRAY_261207.log")), "00:00:01 morgen\r\n00:00:01 y\r\n");
}

TEST_F(RunLogTest, FailingCounterOrMissingTableLeaveTheFileLine) {
  // The counter row exists but every update of it fails: the counter logs
  // through ExecuteSQL, which must not lead back into this entry's log.
  raw->Exec(
      "INSERT INTO SATZZAEHLER (ID, TABELLE, FELD, WERT) VALUES "
      "(1, 'tblALLGReorganisationProtokoll', 'reoID', 5)");
  raw->Exec(
      "CREATE TRIGGER no_update BEFORE UPDATE ON SATZZAEHLER BEGIN "
      "SELECT RAISE(ABORT, 'gesperrt'); END");
  log->WriteLog("ein Eintrag", LogTypeInfo);
  EXPECT_EQ(LogLines(), std::vector<std::string>{"10:30:00 ein Eintrag"});
  // Outside the log's own draw the same failure is logged.
  db->GetNextID("tblALLGReorganisationProtokoll", "reoID");
  EXPECT_EQ(LogLines().at(1), "10:30:00 basDatenbank - ExecuteSQL - gesperrt");
  raw->Exec("DROP TRIGGER no_update; DROP TABLE tblALLGReorganisationProtokoll");
  log->WriteLog("ohne Tabelle", LogTypeInfo);
  EXPECT_EQ(LogLines().back(), "10:30:00 ohne Tabelle");
}

#ifndef _WIN32
TEST_F(RunLogTest, OnlyARegularFileTakesTheLine) {
  // A link to a regular file still works; a device takes nothing.
  std::filesystem::create_directories(dir.File("Logfiles"));
  std::filesystem::create_symlink(dir.File("real.log"), dir.File("Logfiles/KB6TRAY_261206.log"));
  log->WriteLog("durch den Link", LogTypeInfo);
  EXPECT_EQ(ReadFile(dir.File("real.log")), "10:30:00 durch den Link\r\n");
  EXPECT_FALSE(AppendLogLine("/dev/null", "x"));
}
#endif

}  // namespace
}  // namespace kb6::test

// Club files that lack a table, a log folder that cannot be made, a database
// file that is gone: the cycle does all it still can and creates nothing.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "process_support.h"
#include "reliability/reliability_support.h"
#include "runlog/run_log.h"
#include "scheduler/live_ports.h"
#include "scheduler/timer_cycle.h"
#include "test_support.h"

namespace kb6::test {
namespace {

class MissingPieces : public ::testing::Test {
 protected:
  void SetUp() override {
    GenerateClubDatabase(pristine, {120, 9});
    // Rows the daily maintenance has something to do for.
    RawDb(pristine).Exec(
        "UPDATE ADRESSEN SET FAM_NR = 0, WOHNGEBIET = 0, GESCHLECHT = NULL WHERE ADR_INR % 7 = 0");
    std::filesystem::copy_file(pristine, clean);
    std::filesystem::copy_file(pristine, damaged);
    ASSERT_TRUE(ExitedCleanly(Once(clean, dir.File("clean-data"))));
  }
  ProcessResult Once(const std::string& db, const std::string& data) {
    return RunOnceQuickly(db, data, dir.File("err"));
  }

  TempDir dir;
  std::string pristine = dir.File("pristine.db"), clean = dir.File("clean.db"),
              damaged = dir.File("damaged.db");
};

TEST_F(MissingPieces, ATableThatIsMissingCostsOnlyItsOwnStatements) {
  const struct {
    const char* table;
    std::map<std::string, std::set<std::string>> depends;  // columns computed from it
  } cases[] = {
      {"tblALLGReorganisationProtokoll", {}},
      {"tblFIBUAuswertungsgruppen", {}},
      {"KOMMUNIKATION",
       {{"ADRESSEN",
         {"TELEFON_PRIVAT", "TELEFON_GESCHAEFT", "adrFaxPrivat", "FAX_GESCHAEFT", "EMAIL",
          "adrEMailGeschaeft", "HANDY", "INTERNET", "PAGER", "adrHomepageGeschaeft",
          "adrHomepagePrivat"}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    std::filesystem::remove(damaged);
    std::filesystem::copy_file(pristine, damaged);
    RawDb(damaged).Exec(std::string("DROP TABLE ") + c.table);
    const std::string data = dir.File(std::string("data-") + c.table);
    ASSERT_TRUE(ExitedCleanly(Once(damaged, data)));
    ExpectSameDerivedData(clean, damaged, {c.table}, c.depends);
    const std::string log = LogText(data);
    EXPECT_NE(log.find("Die Datenreorganisation 2-wöchig ist abgeschlossen."), std::string::npos);
  }
}

TEST_F(MissingPieces, ALogFolderThatCannotBeMadeLeavesTheTableRows) {
  std::ofstream(dir.File("a-file")) << "not a folder";
  const std::string data = dir.File("a-file/data");  // below a plain file
  // Every file line is lost: the run says so by its exit code.
  const ProcessResult run = Once(damaged, data);
  ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.err;
  EXPECT_FALSE(std::filesystem::exists(data));
  ExpectSameDerivedData(clean, damaged);
  RawDb db(damaged);
  RawDb reference(clean);
  const std::string rows = "SELECT COUNT(*) FROM tblALLGReorganisationProtokoll";
  EXPECT_EQ(db.One(rows), reference.One(rows));
  EXPECT_GE(std::stoi(db.One(rows)), 15);
}

struct QuietWindow final : CycleWindow {
  std::vector<std::string> tips;
  int balloons = 0;
  void SetTimerEnabled(bool) override {}
  void SetToolTip(const std::string& t) override { tips.push_back(t); }
  void ShowBalloon(const std::string&, const std::string&, int32_t) override { ++balloons; }
  void Unload() override {}
  void SetTrayText(const std::string&, const std::string&) override {}
};

TEST_F(MissingPieces, ADatabaseFileThatIsGoneIsNotCreatedAndNothingRuns) {
  // The monitor was started on a file that has since gone.
  const std::string gone = dir.File("gone.db");
  FixedClock clock{Day(2026, 12, 6, 10, 30)};
  const RegionalSettings regional = RegionalSettings::German();
  Settings settings;
  settings.AccessDatenbank = gone;
  settings.SQLServer_Host = "lokal";
  settings.Datenpfad = dir.File("gone-data");
  ProviderRegistry providers;
  RegisterSqliteProvider(providers);
  Database db(settings, regional, clock, providers);
  RunLog log(settings, db, regional, clock, dir.path(), "KB6TRAY");
  LivePorts ports(db, regional, clock, log);
  QuietWindow window;
  TimerCycle cycle(settings, ports, window);
  cycle.Run();
  EXPECT_FALSE(std::filesystem::exists(gone));
  EXPECT_FALSE(std::filesystem::exists(gone + "-wal"));
  EXPECT_FALSE(std::filesystem::exists(settings.Datenpfad));  // no log entry either
  EXPECT_EQ(window.balloons, 0);
}

}  // namespace
}  // namespace kb6::test

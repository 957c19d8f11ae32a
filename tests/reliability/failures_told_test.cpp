// Faults that cost a cycle's work: counted, told in the log, and redone at
// most three times a day. A table an older file lacks stays silent.
#include <gtest/gtest.h>

#include <filesystem>

#include "scheduler/monitor_harness.h"
#include "test_support.h"

namespace kb6::test {
namespace {

class FailuresTold : public ::testing::Test {
 protected:
  void SetUp() override { GenerateClubDatabase(path, {60, 3}); }
  std::unique_ptr<Monitor> NewMonitor(const std::string& data = "data") {
    return std::make_unique<Monitor>(path, dir.File(data), clock);
  }
  // The entries of the log table in the order written, "type text".
  std::vector<std::string> Entries() {
    return RawDb(path).Column(
        "SELECT reoTyp || ' ' || reoEintrag FROM tblALLGReorganisationProtokoll ORDER BY reoID");
  }
  TempDir dir;
  std::string path = dir.File("club.db");
  FixedClock clock{Day(2026, 12, 7, 10, 0)};
};

TEST_F(FailuresTold, EachFaultIsToldAfterTheResultLineOfItsJob) {
  const std::string first = "(SELECT MIN(ADR_INR) FROM ADRESSEN WHERE KZEHEMALIG = 0)";
  const struct {
    const char* name;
    std::string arrange;
    const char* job;
    const char* result_line;  // the job's designed line, unchanged
    const char* told;         // the error entry after it; empty: none
    bool read_failed;
    int failed;  // failed_writes of the job
  } cases[] = {
      {"trigger abort",
       "UPDATE ADRESSEN SET BR_ANREDE = NULL; CREATE TRIGGER nein BEFORE UPDATE OF BR_ANREDE ON "
       "ADRESSEN BEGIN SELECT RAISE(ABORT, 'Anrede gesperrt'); END",
       "gfUpdateAdressen", "2 Es wurden 60 Adresse(n) aktualisiert.",
       "1 Es wurden 60 Änderung(en) nicht geschrieben. Erste Ursache: Anrede gesperrt", false, 60},
      {"dropped column", "ALTER TABLE ADRESSEN DROP COLUMN adrAlter", "gfUpdateAdressen",
       "2 Es wurden 0 Adresse(n) aktualisiert.",
       "1 Die Datensätze konnten nicht gelesen werden: 1 - no such column: adrAlter", true, 0},
      {"failing count", "ALTER TABLE STAMM1 RENAME COLUMN ID TO ID_ALT",
       "gfUpdateAbteilungenAnzahl",
       "2 Es wurden bei 0 Abteilung(en) die Anzahl Mitglieder aktualisiert.",
       "1 Die Datensätze konnten nicht gelesen werden: 1 - no such column: ID", true, 0},
      {"+Inf birthday", "UPDATE ADRESSEN SET GEBTAG = 9e999 WHERE ADR_INR = " + first,
       "gfUpdateAdressen", "2 Es wurden 60 Adresse(n) aktualisiert.",
       "1 Es wurden 1 Änderung(en) nicht geschrieben. Erste Ursache: Überlauf", false, 1},
      {"NUL byte in a name",
       "UPDATE ADRESSEN SET ANREDE = 'Herr', BR_ANREDE = NULL, NAME1 = 'Nu' || char(0) || 'll' "
       "WHERE ADR_INR = " +
           first,
       "gfUpdateAdressen", "2 Es wurden 60 Adresse(n) aktualisiert.",
       "1 Es wurden 1 Änderung(en) nicht geschrieben. Erste Ursache: unrecognized token", false, 1},
      {"optional table missing", "DROP TABLE tblFIBUAuswertungsgruppen", "DailyMaintenance",
       "2 Die eintägige Überprüfung von diversen Programmdaten wurde erfolgreich abgeschlossen.",
       "", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(path);
    SetUp();
    RawDb(path).Exec(c.arrange);
    auto monitor = NewMonitor(std::string("data-") + c.name);
    const CycleReport& report = monitor->Run();
    const auto job = std::find_if(report.jobs.begin(), report.jobs.end(),
                                  [&](const JobReport& j) { return j.name == c.job; });
    ASSERT_NE(job, report.jobs.end());
    EXPECT_EQ(job->read_failed, c.read_failed);
    EXPECT_EQ(job->failed_writes, c.failed);
    EXPECT_EQ(report.HasFailures(), *c.told != '\0');
    const auto entries = Entries();
    const auto line = std::find(entries.begin(), entries.end(), c.result_line);
    ASSERT_NE(line, entries.end());
    const std::string next = line + 1 == entries.end() ? "" : *(line + 1);
    EXPECT_EQ(next.rfind(c.told, 0), 0u) << next;
    EXPECT_TRUE(*c.told || std::none_of(entries.begin(), entries.end(),
                                        [](const std::string& e) { return e[0] == '1'; }));
  }
}

// Two monitors on the file share the count of failed runs.
TEST_F(FailuresTold, FailedIntervalRunsAgainThreeTimesADayThenWaits) {
  RawDb(path).Exec(
      "UPDATE ADRESSEN SET BR_ANREDE = NULL; CREATE TRIGGER nein BEFORE UPDATE OF BR_ANREDE ON "
      "ADRESSEN BEGIN SELECT RAISE(ABORT, 'Anrede gesperrt'); END");
  auto a = NewMonitor("a");
  auto b = NewMonitor("b");
  std::vector<size_t> daily_runs;
  for (Monitor* m : {a.get(), b.get(), a.get(), b.get()}) {
    const CycleReport& r = m->Run();
    daily_runs.push_back(r.intervals.empty() || r.intervals[0].days != 1 ? 0 : 1);
    clock.Set(clock.Now() + 1.0 / 1440);
  }
  EXPECT_EQ(daily_runs, (std::vector<size_t>{1, 1, 1, 0}));
  const auto entries = Entries();
  EXPECT_EQ(std::count(entries.begin(), entries.end(),
                       "1 Die Datenreorganisation 1-tägig ist heute 3-mal mit Fehlern gelaufen; "
                       "sie wird erst am nächsten Tag wiederholt."),
            1);
  // The next day, the trigger gone: the salutations are written.
  RawDb(path).Exec("DROP TRIGGER nein");
  clock.Set(Day(2026, 12, 8, 10, 0));
  EXPECT_FALSE(a->Run().HasFailures());
  EXPECT_EQ(RawDb(path).One("SELECT COUNT(*) FROM ADRESSEN WHERE KZEHEMALIG = 0 AND BR_ANREDE IS "
                            "NULL"),
            "0");
}

}  // namespace
}  // namespace kb6::test

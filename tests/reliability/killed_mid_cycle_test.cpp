// SIGKILL at random moments of a full cycle on a 2,000-address club file:
// the file stays sound, the log keeps whole lines, the next run completes,
// and in the end the derived data equal those of an undisturbed run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <thread>

#include "process_support.h"
#include "reliability/reliability_support.h"
#include "test_support.h"

namespace kb6::test {
namespace {

constexpr int kKills = 50;

// Makes every interval due again, as on the next day.
void ResetDueStamps(const std::string& db) {
  RawDb(db).Exec("DELETE FROM PARAMETER WHERE FELD LIKE 'AUFGABENTRAY%'");
}

// The same data in both files but for what depends on drawn keys or the
// clock: the counter, the run log, the keys of due and overview rows.
void ExpectSameDerivedData(const std::string& want, const std::string& got) {
  EXPECT_EQ(TableNames(want), TableNames(got));
  for (const auto& table : TableNames(want)) {
    if (table == "SATZZAEHLER" || table == "tblALLGReorganisationProtokoll") continue;
    const std::set<std::string> keys = {table == "PARAMETER" ? "ID" : "uebID"};
    EXPECT_TRUE(TableRows(want, table, keys) == TableRows(got, table, keys)) << table;
  }
}

TEST(Reliability, KilledMidCycleLosesNothing) {
  TempDir dir;
  const std::string clean = dir.File("clean.db"), killed = dir.File("killed.db");
  GenerateClubDatabase(clean, {2000, 11});
  std::filesystem::copy_file(clean, killed);
  const std::string clean_data = dir.File("clean-data"), killed_data = dir.File("killed-data");

  const auto start = std::chrono::steady_clock::now();
  const ProcessResult reference = RunOnceQuickly(clean, clean_data, dir.File("err"));
  ASSERT_EQ(reference.status, 0) << reference.err;  // exit code 0
  double cycle_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::mt19937 rng(20261206);
  // A moment after the cycle's end kills nothing; such draws do not count.
  int killed_mid_cycle = 0, attempts = 0;
  for (; killed_mid_cycle < kKills && attempts < 3 * kKills; ++attempts) {
    ResetDueStamps(killed);
    const pid_t pid =
        Spawn(OnceCommand(killed, killed_data), dir.File("err"), "/dev/null", {kNoProgressPause});
    std::this_thread::sleep_for(std::chrono::duration<double>(
        std::uniform_real_distribution<double>(0.0, cycle_seconds)(rng)));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    // A cycle that ended before its kill ran faster than the first one (which
    // may have shared the machine with other tests): draw from a shorter span.
    if (WIFSIGNALED(status))
      ++killed_mid_cycle;
    else
      cycle_seconds *= 0.8;

    ASSERT_EQ(RawDb(killed).One("PRAGMA integrity_check"), "ok") << "after kill " << attempts;
    ASSERT_EQ(FirstBrokenLogLine(LogText(killed_data)), "") << "after kill " << attempts;
    const ProcessResult next = RunOnceQuickly(killed, killed_data, dir.File("err"));
    ASSERT_EQ(next.status, 0) << "run after kill " << attempts << ": " << next.err;
  }
  ResetDueStamps(killed);
  ASSERT_EQ(RunOnceQuickly(killed, killed_data, dir.File("err")).status, 0);
  ExpectSameDerivedData(clean, killed);
  EXPECT_EQ(killed_mid_cycle, kKills) << attempts << " attempts, last span " << cycle_seconds;
}

}  // namespace
}  // namespace kb6::test

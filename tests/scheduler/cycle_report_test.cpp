// The cycle on a real club file: its report and its trap.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

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

// Descriptors of this process open on `path`.
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
  for (const JobReport& j : report.jobs)
    if (j.name != "gfUpdateDatumsfelder" && j.name != "DailyMaintenance")
      reported.push_back(j.rows);
  ASSERT_EQ(reported.size(), 8u);
  EXPECT_EQ(reported, logged);
  EXPECT_FALSE(report.HasFailures());

  // No file named is no database: no jobs, no log lines.
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

}  // namespace
}  // namespace kb6::test

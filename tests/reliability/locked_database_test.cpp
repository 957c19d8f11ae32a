// Another process holds a write transaction on the club file when a cycle
// starts: shorter than the busy timeout the cycle just waits; longer, the
// database counts as one that cannot be opened and the next cycle runs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>

#include "process_support.h"
#include "reliability/reliability_support.h"
#include "test_support.h"

namespace kb6::test {
namespace {

// A child process that takes the write lock, says so through a pipe, holds
// it for `seconds` and commits. Returns once the lock is held.
pid_t HoldWriteLock(const std::string& path, double seconds) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(ready[0]);
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const bool locked = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    const char signal = locked ? '1' : '0';
    (void)!write(ready[1], &signal, 1);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    _exit(locked ? 0 : 1);
  }
  close(ready[1]);
  char signal = '0';
  const bool told = read(ready[0], &signal, 1) == 1;
  close(ready[0]);
  return told && signal == '1' ? pid : -1;
}

class LockedDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    GenerateClubDatabase(clean, {150, 5});
    std::filesystem::copy_file(clean, locked);
    ASSERT_TRUE(ExitedCleanly(Once(clean, "clean-data")));
  }
  ProcessResult Once(const std::string& db, const std::string& data) {
    std::filesystem::create_directories(dir.File(data));
    return RunOnceQuickly(db, dir.File(data), dir.File("err"));
  }
  // The seconds one cycle on the locked copy takes while the lock is held.
  double CycleUnderLock(double lock_seconds, ProcessResult& result) {
    const pid_t holder = HoldWriteLock(locked, lock_seconds);
    EXPECT_GT(holder, 0);
    const auto start = std::chrono::steady_clock::now();
    result = Once(locked, "locked-data");
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int status = 0;
    waitpid(holder, &status, 0);
    return took;
  }

  TempDir dir;
  std::string clean = dir.File("clean.db"), locked = dir.File("locked.db");
};

TEST_F(LockedDatabase, ShorterThanTheBusyTimeoutTheCycleWaits) {
  ProcessResult r;
  const double took = CycleUnderLock(2.0, r);
  ASSERT_TRUE(ExitedCleanly(r)) << r.err;
  EXPECT_GE(took, 2.0);
  RawDb db(locked);
  EXPECT_EQ(db.One("SELECT COUNT(*) FROM tblALLGReorganisationProtokoll WHERE reoTyp = 1"), "0");
  EXPECT_EQ(LogText(dir.File("locked-data")).find("ExecuteSQL"), std::string::npos);
  ExpectSameDerivedData(clean, locked);
  std::cout << "cycle under a 2 s lock: " << took << " s\n";
}

// A lock held past the busy timeout at the open keeps the database from
// opening: the cycle is quiet, says why on standard error, and the next
// cycle does the work.
TEST_F(LockedDatabase, LongerThanTheBusyTimeoutTheCycleIsQuietAndTheNextOneRuns) {
  const std::string before = ReadFile(locked);
  ProcessResult r;
  const double took = CycleUnderLock(7.0, r);
  ASSERT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 2) << r.err;  // not opened
  EXPECT_GE(took, 5.0);  // the open waited out the busy timeout
  EXPECT_FALSE(std::filesystem::exists(dir.File("locked-data") + "/Logfiles"));
  EXPECT_EQ(r.err.find("[Hinweis]"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("KB6TRAY: Die Datenbank kann nicht geöffnet werden: Die Datenbankdatei '" +
                       locked + "' ist gesperrt: database is locked\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ReadFile(locked), before);
  r = Once(locked, "locked-data");
  ASSERT_TRUE(ExitedCleanly(r)) << r.err;
  ExpectSameDerivedData(clean, locked);
  std::cout << "cycle under a 7 s lock: " << took << " s\n";
}

}  // namespace
}  // namespace kb6::test

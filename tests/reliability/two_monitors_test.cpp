// Two monitors started together on one file: each interval runs once a day
// across both of them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <iostream>

#include "process_support.h"
#include "reliability/reliability_support.h"
#include "test_support.h"

extern char** environ;

namespace kb6::test {
namespace {

constexpr int kPairs = 20;

// Starts `KB6TRAY --once` on `db` held back by a shell until `gate` is closed.
pid_t SpawnHeldBack(const std::string& db, const std::string& data_dir, int gate) {
  std::vector<std::string> args = {"/bin/sh", "-c", "read x; exec \"$0\" \"$@\""};
  for (const auto& a : OnceCommand(db, data_dir)) args.push_back(a);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (char** e = environ; *e; ++e) envp.push_back(*e);
  std::string pause = kNoProgressPause;
  envp.push_back(pause.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, gate, 0);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  posix_spawn(&pid, "/bin/sh", &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

int RunsOf(RawDb& db, const char* interval) {
  return std::stoi(db.One(std::string("SELECT Count(*) FROM tblALLGReorganisationProtokoll "
                                      "WHERE reoEintrag = 'Die Datenreorganisation ") +
                          interval + " wird gestartet ...'"));
}

void SetStamps(const std::string& db, const char* value) {
  RawDb raw(db);
  raw.Exec(std::string("UPDATE PARAMETER SET WERT = ") + value +
           " WHERE FELD IN ('AUFGABENTRAY1', 'AUFGABENTRAY7', 'AUFGABENTRAY14')");
}

// `prepare` turns a copy of the template into the starting file.
void PairedStarts(const std::string& label,
                  const std::function<void(const std::string&)>& prepare) {
  TempDir dir;
  const std::string base = dir.File("base.db");
  GenerateClubDatabase(base, {20, 3});
  prepare(base);
  // What one monitor alone makes of the file.
  const std::string single = dir.File("single.db");
  std::filesystem::copy_file(base, single);
  ASSERT_TRUE(ExitedCleanly(RunOnceQuickly(single, dir.File("s"), dir.File("single.err"))));
  int duplicates = 0;
  for (int pair = 0; pair < kPairs; ++pair) {
    const std::string db = dir.File("pair" + std::to_string(pair) + ".db");
    std::filesystem::copy_file(base, db);
    int gate[2];
    ASSERT_EQ(pipe2(gate, O_CLOEXEC), 0);
    const pid_t a = SpawnHeldBack(db, dir.File("a"), gate[0]);
    const pid_t b = SpawnHeldBack(db, dir.File("b"), gate[0]);
    close(gate[0]);
    close(gate[1]);  // both start now
    for (pid_t pid : {a, b}) {
      int status = 0;
      ASSERT_TRUE(WaitWithDeadline(pid, status, 120));
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    RawDb raw(db);
    for (const char* interval : {"1-tägig", "1-wöchig", "2-wöchig"}) {
      const int runs = RunsOf(raw, interval);
      EXPECT_EQ(runs, 1) << label << " pair " << pair << " " << interval;
      duplicates += runs > 1 ? runs - 1 : 0;
    }
    EXPECT_EQ(raw.One("SELECT Count(*) FROM PARAMETER WHERE FELD LIKE 'AUFGABENTRAY%'"), "3");
    EXPECT_EQ(TableRows(db, "tblMVAbteilungsuebersicht", {"uebID"}),
              TableRows(single, "tblMVAbteilungsuebersicht", {"uebID"}))
        << label << " pair " << pair;
  }
  std::cout << label << ": " << duplicates << " duplicate interval runs in " << kPairs
            << " paired starts\n";
}

// A fresh file, and one whose intervals are all overdue.
TEST(Reliability, TwoMonitorsStartedTogetherRunEachIntervalOnce) {
  PairedStarts("fresh", [](const std::string&) {});
  PairedStarts("stale", [&](const std::string& db) {
    ASSERT_TRUE(ExitedCleanly(RunOnceQuickly(db, db + ".d", db + ".err")));
    SetStamps(db, "'01.01.2020'");
    RawDb(db).Exec("DELETE FROM tblALLGReorganisationProtokoll");
  });
}

}  // namespace
}  // namespace kb6::test

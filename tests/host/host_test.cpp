// The KB6TRAY executable as a real process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "process_support.h"
#include "test_support.h"

namespace kb6::test {
namespace {

// FIFOs in place of the log and the metrics file are not blocked on nor
// replaced (root's rename could replace a device such as /dev/null).
TEST(Host, FifosInThePlacesOfTheLogAndTheMetricsDoNotBlockTheCycle) {
  TempDir dir;
  GenerateClubDatabase(dir.File("club.db"), {5, 3});
  std::filesystem::create_directories(dir.File("Logfiles"));
  ASSERT_EQ(mkfifo(dir.File("Logfiles/KB6TRAY_261201.log").c_str(), 0644), 0);
  const std::string prom = dir.File("kb6tray.prom");
  ASSERT_EQ(mkfifo(prom.c_str(), 0644), 0);
  std::vector<std::string> command = OnceCommand(dir.File("club.db"), dir.path());
  command.insert(command.end(), {"--metrics", prom});
  const pid_t pid = Spawn(command, dir.File("err"), "/dev/null",
                          {kNoProgressPause, "KB6TRAY_TEST_NOW=2026-12-01 10:00:00"});
  int status = 0;
  ASSERT_TRUE(WaitWithDeadline(pid, status, 20)) << "blocked on a FIFO";
  EXPECT_TRUE(std::filesystem::is_fifo(prom));
  EXPECT_NE(
      ReadFile(dir.File("err")).find("' kann nicht geschrieben werden: keine gewöhnliche Datei"),
      std::string::npos);
  // The file lines are lost, which the exit code says; the table rows are
  // written all the same.
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  RawDb raw(dir.File("club.db"));
  EXPECT_EQ(raw.One("SELECT COUNT(*) FROM tblALLGReorganisationProtokoll WHERE reoEintrag = "
                    "'Die Datenreorganisation 2-wöchig ist abgeschlossen.'"),
            "1");
}

// The one-second pause after each progress text makes the cycle long enough
// to signal it while it runs.
TEST(Host, ASecondSignalDuringACycleEndsTheProcessAtOnce) {
  TempDir dir;
  GenerateClubDatabase(dir.File("club.db"), {5, 1});
  const pid_t pid = Spawn(OnceCommand(dir.File("club.db"), dir.path()), dir.File("err"));
  for (int i = 0; i < 1000 && ReadFile(dir.File("err")).find("In Arbeit") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_NE(ReadFile(dir.File("err")).find("In Arbeit"), std::string::npos);
  kill(pid, SIGTERM);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0);  // the first only asks to close after the cycle
  kill(pid, SIGTERM);
  ASSERT_TRUE(WaitWithDeadline(pid, status, 5));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM) << status;
}

}  // namespace
}  // namespace kb6::test

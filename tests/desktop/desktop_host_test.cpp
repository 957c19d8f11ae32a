// KB6TRAY as a real process on a private session bus with a fake panel and
// notification server.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "fake_desktop.h"
#include "process_support.h"
#include "test_support.h"

namespace kb6::test {
namespace {

class DesktopHost : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!bus.Running()) GTEST_SKIP() << "dbus-daemon is not installed";
    GenerateClubDatabase(db, {300, 3});
  }
  std::vector<std::string> Env() const { return {kNoProgressPause, bus.EnvEntry()}; }
  std::vector<std::string> Args(const char* tray, bool once = true) const {
    std::vector<std::string> a = {"--tray", tray, "--access-db", db, "--datenpfad", dir.path()};
    if (once) a.insert(a.begin(), "--once");
    return a;
  }

  PrivateBus bus;
  TempDir dir;
  std::string db = dir.File("club.db");
};

// With a notification area "auto" takes the desktop tray.
TEST_F(DesktopHost, OneCycleShowsItsProgressAndBothNotifications) {
  FakeDesktop desktop(bus, true, true);
  const ProcessResult r = RunKb6Tray(Args("auto"), dir.File("err"), Env());
  ASSERT_TRUE(ExitedCleanly(r)) << r.err;
  EXPECT_EQ(r.err.find("[Symbol]"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("[Hinweis]"), std::string::npos) << r.err;
  // The process has ended: its name leaves the bus.
  ASSERT_TRUE(desktop.WaitFor([](const std::vector<std::string>& l) {
    return CountPrefix(l, "unregister") == 1;
  })) << testing::PrintToString(desktop.Lines());
  const auto lines = desktop.Lines();
  // Item properties and pixmaps: DesktopTray.RegistersAndAnswersThePanel...
  EXPECT_EQ(CountPrefix(lines, "register "), 1u);
  EXPECT_EQ(WithPrefix(lines, "notify"),
            (std::vector<std::string>{
                "notify KB6TRAY|dialog-information|Hinweis|Die Datenreorganisation wird "
                "gestartet ...|-1",
                "notify KB6TRAY|dialog-information|Hinweis|Die Datenreorganisation ist "
                "abgeschlossen.|-1"}));
  // The item registers while the cycle already runs, and the process ends
  // right after the idle text: the recorded tool tips are progress texts.
  const std::string progress = "tooltip In Arbeit (01TG): |";
  const auto tips = WithPrefix(lines, progress);
  EXPECT_TRUE(std::any_of(tips.begin(), tips.end(), [&](const std::string& t) {
    return t.size() > progress.size();
  })) << testing::PrintToString(lines);
  EXPECT_EQ(lines.back().rfind("unregister org.kde.StatusNotifierItem-", 0), 0u);
}

TEST_F(DesktopHost, AMonitorStartedBeforeThePanelAppearsInIt) {
  FakeDesktop desktop(bus, false, false);
  const std::string err = dir.File("err");
  std::vector<std::string> command = {KB6TRAY_EXE};
  for (const auto& a : Args("desktop", false)) command.push_back(a);
  const pid_t pid = Spawn(command, err, "/dev/null", Env());
  ASSERT_GT(pid, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (ReadFile(err).find("Kein Infobereich") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  desktop.StartWatcher();
  const bool registered =
      desktop.WaitFor(Has("tooltip Korbinar V6 Systemüberwachung im Leerlauf|"));
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  ASSERT_TRUE(registered) << testing::PrintToString(desktop.Lines()) << ReadFile(err);
  EXPECT_TRUE(desktop.WaitFor(Has("unregister " + ItemName(pid))));
  EXPECT_EQ(WithPrefix(desktop.Lines(), "register"),
            std::vector<std::string>{"register " + ItemName(pid)});
}

}  // namespace
}  // namespace kb6::test

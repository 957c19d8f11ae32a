// KB6TRAY as a real process on a private session bus with a fake panel and
// notification server.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <iostream>
#include <thread>

#include "fake_desktop.h"
#include "process_support.h"
#include "test_support.h"

namespace kb6::test {
namespace {

auto Has(const std::string& line) {
  return [line](const std::vector<std::string>& lines) {
    for (const auto& l : lines)
      if (l == line) return true;
    return false;
  };
}

std::string ItemName(pid_t pid) {
  return "org.kde.StatusNotifierItem-" + std::to_string(pid) + "-1";
}

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

TEST_F(DesktopHost, OneCycleShowsItsProgressAndBothNotifications) {
  FakeDesktop desktop(bus, true, true);
  ASSERT_TRUE(desktop.WaitFor(Has("watcher up")));
  const ProcessResult r = RunKb6Tray(Args("desktop"), dir.File("err"), Env());
  ASSERT_TRUE(ExitedCleanly(r)) << r.err;
  EXPECT_EQ(r.err.find("[Symbol]"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("[Hinweis]"), std::string::npos) << r.err;
  // The process has ended: its name leaves the bus.
  ASSERT_TRUE(desktop.WaitFor([](const std::vector<std::string>& l) {
    return CountPrefix(l, "unregister") == 1;
  })) << testing::PrintToString(desktop.Lines());
  const auto lines = desktop.Lines();
  std::cout << "What the fake desktop recorded for one cycle:\n";
  for (const auto& l : lines) std::cout << "  " << l << "\n";

  EXPECT_EQ(CountPrefix(lines, "register "), 1u);
  EXPECT_EQ(
      WithPrefix(lines, "item"),
      std::vector<std::string>{"item KB6TRAY|Korbinar Systemüberwachung|SystemServices|Active"});
  EXPECT_EQ(WithPrefix(lines, "pixmaps"),
            std::vector<std::string>{"pixmaps 16x16 22x22 24x24 32x32 48x48"});
  EXPECT_EQ(WithPrefix(lines, "notify"),
            (std::vector<std::string>{
                "notify KB6TRAY|dialog-information|Hinweis|Die Datenreorganisation wird "
                "gestartet ...|-1",
                "notify KB6TRAY|dialog-information|Hinweis|Die Datenreorganisation ist "
                "abgeschlossen.|-1"}));
  // The item registers while the cycle already runs, and the process ends
  // right after the idle text: the recorded tool tips are progress texts.
  const auto tips = WithPrefix(lines, "tooltip");
  size_t progress = 0;
  for (const auto& t : tips)
    if (t.rfind("tooltip In Arbeit (01TG): |", 0) == 0 &&
        t.size() > std::string("tooltip In Arbeit (01TG): |").size())
      ++progress;
  EXPECT_GT(progress, 0u) << testing::PrintToString(tips);
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

TEST_F(DesktopHost, AutoFallsBackToStandardErrorWithoutANotificationArea) {
  const struct {
    bool watcher;
    bool console;
  } cases[] = {{false, true}, {true, false}};
  int n = 0;
  for (const auto& c : cases) {
    // A fresh file each time, so that the cycle has work and balloons.
    const std::string file = dir.File("club" + std::to_string(++n) + ".db");
    GenerateClubDatabase(file, {20, 3});
    FakeDesktop desktop(bus, c.watcher, true);
    if (c.watcher) {
      ASSERT_TRUE(desktop.WaitFor(Has("watcher up")));
    }
    const ProcessResult r =
        RunKb6Tray({"--once", "--tray", "auto", "--access-db", file, "--datenpfad", dir.path()},
                   dir.File("err"), Env());
    ASSERT_TRUE(ExitedCleanly(r)) << r.err;
    EXPECT_EQ(r.err.rfind("[Symbol] Korbinar V6 Systemüberwachung im Leerlauf\n", 0) == 0,
              c.console)
        << r.err;
    if (c.console) {
      EXPECT_EQ(CountPrefix(desktop.Lines(), "notify"), 0u);
    } else {
      EXPECT_TRUE(desktop.WaitFor([](const std::vector<std::string>& l) {
        return CountPrefix(l, "notify") == 2;
      })) << testing::PrintToString(desktop.Lines());
    }
  }
}

TEST(DesktopHostOptions, VersionAndHelpNameTheTrayChoice) {
  TempDir dir;
  const struct {
    const char* option;
    std::vector<std::string> words;
  } cases[] = {{"--version", {"KB6TRAY 1."}},
               {"--help", {"--tray", "desktop", "console", "auto", "--version"}}};
  for (const auto& c : cases) {
    const pid_t pid = Spawn({KB6TRAY_EXE, c.option}, dir.File("err"), dir.File("out"));
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.option;
    const std::string out = ReadFile(dir.File("out"));
    for (const auto& w : c.words) EXPECT_NE(out.find(w), std::string::npos) << c.option << w;
  }
  const ProcessResult bad = RunKb6Tray({"--tray", "window", "--once"}, dir.File("err"));
  EXPECT_EQ(WEXITSTATUS(bad.status), 2);
}

}  // namespace
}  // namespace kb6::test

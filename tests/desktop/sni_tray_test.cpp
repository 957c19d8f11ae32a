// The desktop tray in this process against a fake panel and notification
// server on a real private session bus.
#include "tray/desktop/sni_tray.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <utility>

#include "fake_desktop.h"
#include "host/tray_choice.h"
#include "scheduler/timer_cycle.h"
#include "test_support.h"
#include "tray/console_tray.h"

namespace kb6::test {
namespace {

std::string ItemName(int generation) {
  return "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" +
         std::to_string(generation);
}

const std::string kProgress = "In Arbeit (01TG): \r\nDatensatz 300 von 1250 wird verarbeitet ...";

class DesktopTray : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!bus.Running()) GTEST_SKIP() << "dbus-daemon is not installed";
  }
  // The tray as the host makes it, loaded as the window loads it.
  void ShowDesktopTray() {
    tray = MakeTray(TrayChoice::kDesktop, err);
    ASSERT_NE(dynamic_cast<SniTray*>(tray.get()), nullptr) << err.str();
    tray->SetIcon();
    tray->SetIntegerSetting(0);
    tray->SetToolTip(kIdleToolTip);
    tray->Add();
    tray->SetBooleanSetting(false);
  }

  PrivateBus bus;  // the session bus while the test runs
  std::ostringstream err;
  std::unique_ptr<TrayIcon> tray;
};

TEST_F(DesktopTray, ItemReachesPanelAndNotifierAndOutlivesRestartsAndTheBus) {
  FakeDesktop desktop(bus);
  // Without a panel --tray auto takes the console; the desktop item waits and says so.
  EXPECT_NE(dynamic_cast<ConsoleTray*>(MakeTray(TrayChoice::kAuto, err).get()), nullptr);
  ShowDesktopTray();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (err.str().find("Kein Infobereich") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline)
    g_main_context_iteration(nullptr, FALSE);
  EXPECT_NE(err.str().find("Kein Infobereich"), std::string::npos);
  desktop.StartWatcher();
  ASSERT_TRUE(desktop.WaitFor("register " + ItemName(1)) && desktop.WaitFor("tooltip"))
      << testing::PrintToString(desktop.Lines());
  const std::pair<std::string, std::string> cases[] = {
      {kProgress, "tooltip In Arbeit (01TG): |Datensatz 300 von 1250 wird verarbeitet ..."},
      {kProgress, ""},  // unchanged: no announcement
      {"In Arbeit (): \r\nZeile\r\nnoch eine", "tooltip In Arbeit (): |Zeile\r\nnoch eine"},
      {"ein Zeichen \xff ungültig", "tooltip ein Zeichen \xef\xbf\xbd ungültig|"},
  };
  size_t expected = 1;
  for (const auto& [text, line] : cases) {
    tray->SetToolTip(text);
    if (line.empty()) continue;
    ASSERT_TRUE(desktop.WaitFor("tooltip", ++expected)) << testing::PrintToString(desktop.Lines());
    EXPECT_EQ(desktop.Lines("tooltip").back(), line);
  }
  tray->ShowBalloon("Hinweis", "Die Datenreorganisation wird gestartet ...", 1);
  ASSERT_TRUE(desktop.WaitFor("notify"));
  EXPECT_EQ(desktop.Lines("notify"),
            std::vector<std::string>{"notify KB6TRAY|dialog-information|Hinweis|Die "
                                     "Datenreorganisation wird gestartet ...|-1"});
  // A panel restart: the watcher leaves and comes back.
  desktop.StopWatcher();
  ASSERT_TRUE(desktop.WaitFor("watcher down"));
  desktop.StartWatcher();
  ASSERT_TRUE(desktop.WaitFor("register " + ItemName(1), 2))
      << testing::PrintToString(desktop.Lines());
  // Remove twice drops the item once; Add brings a new one.
  tray->Remove();
  tray->Remove();
  ASSERT_TRUE(desktop.WaitFor("unregister " + ItemName(1)));
  tray->Add();
  ASSERT_TRUE(desktop.WaitFor("register " + ItemName(2)))
      << testing::PrintToString(desktop.Lines());
  EXPECT_EQ(desktop.Lines("unregister").size(), 1u);
  EXPECT_NE(dynamic_cast<SniTray*>(MakeTray(TrayChoice::kAuto, err).get()), nullptr);
  // The bus goes away: the tray stays usable.
  bus.Kill();
  // With GDBus's default the closed connection would end this process.
  for (int i = 0; i < 200; ++i) {
    g_main_context_iteration(nullptr, FALSE);
    usleep(1000);
  }
  tray->SetToolTip(kProgress);
  tray->ShowBalloon("Hinweis", "Die Datenreorganisation ist abgeschlossen.", 1);
  tray->Remove();
  tray->Add();
  tray.reset();
}

// A socket listened on and never accepted: the monitor must not hang at start-up.
TEST_F(DesktopTray, AnUnansweringBusFallsBackToTheConsole) {
  TempDir dir;
  g_autoptr(GSocket) listener =
      g_socket_new(G_SOCKET_FAMILY_UNIX, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_DEFAULT, nullptr);
  g_autoptr(GSocketAddress) address = g_unix_socket_address_new(dir.File("bus").c_str());
  ASSERT_TRUE(g_socket_bind(listener, address, FALSE, nullptr) &&
              g_socket_listen(listener, nullptr));
  setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir.File("bus")).c_str(), 1);
  EXPECT_NE(dynamic_cast<ConsoleTray*>(MakeTray(TrayChoice::kAuto, err).get()), nullptr);
  EXPECT_EQ(MakeTray(TrayChoice::kDesktop, err), nullptr);
  EXPECT_NE(err.str().find("KB6TRAY: --tray desktop braucht den Sitzungsbus: Der Sitzungsbus "
                           "antwortet nicht innerhalb von 3 Sekunden.\n"),
            std::string::npos)
      << err.str();
}

}  // namespace
}  // namespace kb6::test

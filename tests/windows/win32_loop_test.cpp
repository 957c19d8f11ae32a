// The hidden window, its SetTimer timer and the PeekMessage pump, and the
// shell's notification icon, on a real Win32 window (under Wine with Xvfb).
#include "tray/windows/win32_loop.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>

#include "host/windows/resource.h"
#include "tray/console_tray.h"
#include "tray/main_window.h"
#include "tray/windows/shell_tray.h"
#include "tray/windows/win32_window.h"

namespace kb6::test {
namespace {

// Pumps until `done` holds; bounded, so a fault ends as a failure, not a hang.
template <typename Pred>
bool PumpUntil(Win32EventLoop& loop, Pred done) {
  for (int i = 0; i < 20000 && !done(); ++i) {
    loop.SleepMilliseconds(1);
    loop.ProcessPending();
  }
  return done();
}

class Win32Test : public ::testing::Test {
 protected:
  Win32Window window{L"Korbinar Systemüberwachung", IDI_KB6TRAY};
  Win32EventLoop loop;
};

TEST_F(Win32Test, TimerTicksOnlyWhileEnabled) {
  Win32Timer timer(window, 10);
  int ticks = 0;
  timer.SetHandler([&] { ++ticks; });
  EXPECT_FALSE(timer.Enabled());
  timer.SetEnabled(true);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_TRUE(PumpUntil(loop, [&] { return ticks >= 3; }));
  timer.SetEnabled(false);
  const int stopped = ticks;
  for (int i = 0; i < 50; ++i) {
    loop.SleepMilliseconds(1);
    loop.ProcessPending();
  }
  EXPECT_EQ(ticks, stopped);
  EXPECT_FALSE(timer.Enabled());
}

TEST_F(Win32Test, HandlerThatDisablesAndRestartsItsTimerAsTheCycleDoes) {
  Win32Timer timer(window, 5);
  Win32Timer other(window, 5);  // a second timer of the window keeps its own handler
  int ticks = 0, other_ticks = 0;
  timer.SetHandler([&] {
    timer.SetEnabled(false);
    ++ticks;
    if (ticks < 3) timer.SetEnabled(true);
  });
  other.SetHandler([&] { ++other_ticks; });
  timer.SetEnabled(true);
  other.SetEnabled(true);
  EXPECT_TRUE(PumpUntil(loop, [&] { return ticks == 3 && other_ticks >= 3; }));
  EXPECT_FALSE(timer.Enabled());
  EXPECT_TRUE(other.Enabled());
}

TEST_F(Win32Test, WaitSecondsServesMessagesAndKeepsAQuitRequest) {
  bool closed = false;
  window.SetMessageHandler(WM_CLOSE, [&](WPARAM, LPARAM) -> LRESULT {
    closed = true;
    return 0;
  });
  std::ostringstream out;
  ConsoleTray tray(out);
  Win32Timer timer(window, 60000);
  SystemClock clock;
  MainWindow main(tray, timer, loop, clock);
  PostMessageW(window.handle(), WM_CLOSE, 0, 0);
  PostQuitMessage(7);
  const double start = clock.MonotonicSeconds();
  main.WaitSeconds(0);
  EXPECT_GT(clock.MonotonicSeconds() - start, 0.0);
  EXPECT_TRUE(closed);
  EXPECT_TRUE(IsWindow(window.handle()));  // a close request leaves the window
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(Win32Test, NotificationIconAddModifyBalloonRemove) {
  ShellTray tray(window);
  EXPECT_NO_THROW(tray.SetIcon());
  EXPECT_NO_THROW(tray.SetToolTip("Korbinar V6 Systemüberwachung im Leerlauf"));
  EXPECT_FALSE(tray.Shown());
  ASSERT_NO_THROW(tray.Add());
  EXPECT_TRUE(tray.Shown());
  EXPECT_NO_THROW(
      tray.SetToolTip("In Arbeit (01TG): \r\nDatensatz 300 von 1250 wird verarbeitet ..."));
  EXPECT_NO_THROW(tray.SetToolTip(std::string(200, 'a') + "äöü😀"));  // cut to the shell's field
  EXPECT_NO_THROW(tray.ShowBalloon("Hinweis", "Die Datenreorganisation wird gestartet ...", 1));
  EXPECT_NO_THROW(tray.ShowBalloon("Hinweis", std::string(400, 'x'), 0));
  EXPECT_NO_THROW(tray.SetIcon());
  EXPECT_NO_THROW(tray.Remove());
  EXPECT_FALSE(tray.Shown());
  EXPECT_NO_THROW(tray.Remove());  // removing a removed icon asks nothing of the shell
  // Loading again shows it again.
  EXPECT_NO_THROW(tray.Add());
  EXPECT_TRUE(tray.Shown());
}

TEST_F(Win32Test, MainWindowLoadShowsTheIconAndUnloadRemovesIt) {
  ShellTray tray(window);
  Win32Timer timer(window, 60000);
  SystemClock clock;
  MainWindow main(tray, timer, loop, clock);
  int unloaded = 0;
  main.SetUnloadedHandler([&] { ++unloaded; });
  main.Load();
  EXPECT_TRUE(tray.Shown());
  EXPECT_TRUE(timer.Enabled());
  main.Unload();
  EXPECT_FALSE(tray.Shown());
  EXPECT_FALSE(timer.Enabled());
  EXPECT_EQ(unloaded, 1);
}

}  // namespace
}  // namespace kb6::test

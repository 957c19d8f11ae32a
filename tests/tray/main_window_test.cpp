#include "tray/main_window.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "tray/console_tray.h"

namespace kb6 {
namespace {

struct FakeTimer final : Timer {
  bool enabled = false;
  std::function<void()> tick;
  void SetHandler(std::function<void()> t) override { tick = std::move(t); }
  void SetEnabled(bool e) override { enabled = e; }
  bool Enabled() const override { return enabled; }
};

struct CountingLoop final : EventLoop {
  int pumps = 0;
  std::function<void()> pending;
  void ProcessPending() override {
    ++pumps;
    if (pending) std::exchange(pending, nullptr)();
  }
  void SleepMilliseconds(int ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
};

class Window : public ::testing::Test {
 protected:
  std::ostringstream out;
  ConsoleTray tray{out};
  FakeTimer timer;
  CountingLoop loop;
  SystemClock clock;
  MainWindow window{tray, timer, loop, clock};
};

TEST_F(Window, LoadShowsTheIdleIconAndUnloadRemovesIt) {
  window.Load();
  window.Load();  // loading twice: one icon
  EXPECT_TRUE(timer.enabled);
  window.Unload();
  EXPECT_FALSE(timer.enabled);
  window.Load();
  EXPECT_EQ(out.str(),
            "[Symbol] Korbinar V6 Systemüberwachung im Leerlauf\n[Symbol] entfernt\n"
            "[Symbol] Korbinar V6 Systemüberwachung im Leerlauf\n");
}

TEST_F(Window, ProgressSetsTheToolTipAndServesEventsWhileWaiting) {
  window.Load();
  bool served = false;
  loop.pending = [&] { served = true; };
  const double start = clock.MonotonicSeconds();
  window.SetTrayText("Datensatz 300 von 1250 wird verarbeitet ...", "01TG");
  EXPECT_GT(clock.MonotonicSeconds() - start, 1.0);
  EXPECT_TRUE(served);
  EXPECT_GT(loop.pumps, 100);
  window.SetTrayText("x", "");
  EXPECT_NE(
      out.str().find("[Symbol] In Arbeit (01TG):  Datensatz 300 von 1250 wird verarbeitet ...\n"),
      std::string::npos);
  EXPECT_NE(out.str().find("[Symbol] In Arbeit ():  x\n"), std::string::npos);
}

}  // namespace
}  // namespace kb6

// The cycle's trap against test doubles of what it calls: a failing tray or
// a provider error that escapes the database must leave the monitor alive.
// The cycle's normal course runs on real files (cycle_report_test, the host
// tests).
#include "scheduler/timer_cycle.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "db/provider.h"
#include "runlog/run_log.h"

namespace kb6 {
namespace {

struct Trace {
  std::vector<std::string> calls;
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const auto& c : calls) n += c.rfind(prefix, 0) == 0;
    return n;
  }
};

struct NoJobs final : Jobs {
  void gfUpdateDatumsfelder() override {}
  void gfUpdateAdressen() override {}
  void gfUpdateAbteilungen() override {}
  void gfUpdateAbteilungenAnzahl() override {}
  void gfUpdateSpendenliste() override {}
  bool gfRefreshAbteilungsuebersicht() override { return true; }
  void gfUpdateAdressenKomplett() override {}
  void gfUpdateFeldAnzahlAdressen() override {}
  void gfRefreshAnzahlAbteilungen() override {}
};

struct FakePorts final : CyclePorts {
  explicit FakePorts(Trace& t) : t(t) {}
  Trace& t;
  bool weekly = false, fails_in_due_check = false;
  bool OpenDatabase() override { return true; }
  void CloseDatabase() override { t.calls.push_back("close"); }
  std::string NewGuidString() override { return "{G}"; }
  bool XF_DoAufgabenEintaegig() override {
    if (fails_in_due_check) throw DbError(3704, "Verbindung verloren");
    return false;
  }
  bool XF_DoAufgabenWoechentlich() override { return weekly; }
  bool XF_DoAufgabenZweiWoechentlich() override { return false; }
  std::unique_ptr<Jobs> NewJobs(ProgressSink&) override { return std::make_unique<NoJobs>(); }
  void DailyMaintenance(JobReport&) override {}
  void WriteLog(const std::string& text, int32_t type, const std::string& module,
                const std::string& procedure) override {
    t.calls.push_back("log" + std::to_string(type) + " " + module + "/" + procedure + " " + text);
  }
};

struct FakeWindow final : CycleWindow {
  explicit FakeWindow(Trace& t) : t(t) {}
  Trace& t;
  bool timer = true, unloaded = false, balloon_fails = false;
  void SetTimerEnabled(bool e) override { timer = e; }
  void SetToolTip(const std::string& text) override { t.calls.push_back("tip " + text); }
  void ShowBalloon(const std::string&, const std::string&, int32_t) override {
    if (balloon_fails) throw std::runtime_error("Automatisierungsfehler");
  }
  void Unload() override { unloaded = true; }
  void SetTrayText(const std::string&, const std::string&) override {}
};

TEST(Cycle, ATrappedErrorIsLoggedAndLeavesTheMonitorAlive) {
  const struct {
    bool balloon_fails, fails_in_due_check;
    const char* logged;
  } cases[] = {{true, false, "log1 fMain/Timer_Timer Automatisierungsfehler"},
               {false, true, "log1 fMain/Timer_Timer Verbindung verloren"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logged);
    Trace t;
    Settings settings;
    settings.CloseRequested = true;
    FakePorts ports{t};
    ports.weekly = true;
    ports.fails_in_due_check = c.fails_in_due_check;
    FakeWindow window{t};
    window.balloon_fails = c.balloon_fails;
    TimerCycle cycle{settings, ports, window};
    EXPECT_NO_THROW(cycle.Run());
    EXPECT_EQ(t.Count(c.logged), 1);
    EXPECT_EQ(t.Count("close"), 1);
    EXPECT_EQ(t.Count("tip Korbinar V6 Systemüberwachung im Leerlauf"), 1);
    EXPECT_TRUE(window.timer);
    EXPECT_TRUE(window.unloaded);
  }
}

}  // namespace
}  // namespace kb6

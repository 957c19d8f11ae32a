// The cycle against recording test doubles of what it calls.
#include "scheduler/timer_cycle.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "db/provider.h"
#include "runlog/run_log.h"

namespace kb6 {
namespace {

struct Trace {
  std::vector<std::string> calls;
  void Add(std::string s) { calls.push_back(std::move(s)); }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const auto& c : calls) n += c.rfind(prefix, 0) == 0;
    return n;
  }
};

struct RecordingJobs final : Jobs {
  explicit RecordingJobs(Trace& t) : t(t) {}
  Trace& t;
  void gfUpdateDatumsfelder() override { t.Add("job gfUpdateDatumsfelder"); }
  void gfUpdateAdressen() override { t.Add("job gfUpdateAdressen"); }
  void gfUpdateAbteilungen() override { t.Add("job gfUpdateAbteilungen"); }
  void gfUpdateAbteilungenAnzahl() override { t.Add("job gfUpdateAbteilungenAnzahl"); }
  void gfUpdateSpendenliste() override { t.Add("job gfUpdateSpendenliste"); }
  bool gfRefreshAbteilungsuebersicht() override {
    t.Add("job gfRefreshAbteilungsuebersicht");
    return true;
  }
  void gfUpdateAdressenKomplett() override { t.Add("job gfUpdateAdressenKomplett"); }
  void gfUpdateFeldAnzahlAdressen() override { t.Add("job gfUpdateFeldAnzahlAdressen"); }
  void gfRefreshAnzahlAbteilungen() override { t.Add("job gfRefreshAnzahlAbteilungen"); }
};

struct FakePorts final : CyclePorts {
  explicit FakePorts(Trace& t) : t(t) {}
  Trace& t;
  bool opens = true, d1 = false, d7 = false, d14 = false;
  std::function<void()> during_jobs, during_due_check;
  bool OpenDatabase() override {
    t.Add("open");
    return opens;
  }
  void CloseDatabase() override { t.Add("close"); }
  std::string NewGuidString() override { return "{G}"; }
  bool XF_DoAufgabenEintaegig() override {
    if (during_due_check) during_due_check();
    return d1;
  }
  bool XF_DoAufgabenWoechentlich() override { return d7; }
  bool XF_DoAufgabenZweiWoechentlich() override { return d14; }
  std::unique_ptr<Jobs> NewJobs(ProgressSink&) override {
    if (during_jobs) during_jobs();
    return std::make_unique<RecordingJobs>(t);
  }
  void DailyMaintenance(JobReport&) override { t.Add("maintenance"); }
  void WriteLog(const std::string& text, int32_t type, const std::string& module,
                const std::string& procedure) override {
    t.Add("log" + std::to_string(type) + " " + module + "/" + procedure + " " + text);
  }
};

struct FakeWindow final : CycleWindow {
  explicit FakeWindow(Trace& t) : t(t) {}
  Trace& t;
  bool timer = true, unloaded = false, balloon_fails = false;
  void SetTimerEnabled(bool e) override {
    timer = e;
    t.Add(e ? "timer on" : "timer off");
  }
  void SetToolTip(const std::string& text) override { t.Add("tip " + text); }
  void ShowBalloon(const std::string& title, const std::string& text, int32_t kind) override {
    if (balloon_fails) throw std::runtime_error("Automatisierungsfehler");
    t.Add("balloon " + title + " " + text + " " + std::to_string(kind));
  }
  void Unload() override {
    unloaded = true;
    t.Add("unload");
  }
  void SetTrayText(const std::string&, const std::string&) override {}
};

class Cycle : public ::testing::Test {
 protected:
  Trace t;
  Settings settings;
  FakePorts ports{t};
  FakeWindow window{t};
  TimerCycle cycle{settings, ports, window};
};

TEST_F(Cycle, NothingDue) {
  cycle.Run();
  EXPECT_EQ(t.calls, (std::vector<std::string>{"timer off", "open", "close",
                                               "tip Korbinar V6 Systemüberwachung im Leerlauf",
                                               "timer on"}));
  EXPECT_EQ(settings.RunGuid, "{G}");
}

TEST_F(Cycle, AllThreeDueRunInOrderBetweenOneStartAndOneEndBalloon) {
  ports.d1 = ports.d7 = ports.d14 = true;
  cycle.Run();
  const std::vector<std::string> want = {
      "timer off",
      "open",
      "balloon Hinweis Die Datenreorganisation wird gestartet ... 1",
      "log2 / Die Datenreorganisation 1-tägig wird gestartet ...",
      "job gfUpdateDatumsfelder",
      "job gfUpdateAbteilungenAnzahl",
      "job gfUpdateSpendenliste",
      "job gfUpdateAdressen",
      "job gfUpdateAbteilungen",
      "maintenance",
      "log2 / Die Datenreorganisation 1-tägig ist abgeschlossen.",
      "log2 / Die Datenreorganisation 1-wöchig wird gestartet ...",
      "job gfRefreshAbteilungsuebersicht",
      "job gfRefreshAnzahlAbteilungen",
      "log2 / Die Datenreorganisation 1-wöchig ist abgeschlossen.",
      "log2 / Die Datenreorganisation 2-wöchig wird gestartet ...",
      "job gfUpdateAdressenKomplett",
      "job gfUpdateFeldAnzahlAdressen",
      "log2 / Die Datenreorganisation 2-wöchig ist abgeschlossen.",
      "balloon Hinweis Die Datenreorganisation ist abgeschlossen. 1",
      "close",
      "tip Korbinar V6 Systemüberwachung im Leerlauf",
      "timer on"};
  EXPECT_EQ(t.calls, want);
}

TEST_F(Cycle, EachSingleIntervalGetsItsOwnFrame) {
  struct Case {
    bool d1, d7, d14;
    const char* first_job;
    int jobs;
  } cases[] = {{true, false, false, "job gfUpdateDatumsfelder", 5},
               {false, true, false, "job gfRefreshAbteilungsuebersicht", 2},
               {false, false, true, "job gfUpdateAdressenKomplett", 2}};
  for (const Case& c : cases) {
    t.calls.clear();
    ports.d1 = c.d1, ports.d7 = c.d7, ports.d14 = c.d14;
    cycle.Run();
    EXPECT_EQ(t.Count("balloon"), 2);
    EXPECT_EQ(t.Count("log2"), 2);
    EXPECT_EQ(t.Count("job"), c.jobs);
    EXPECT_EQ(t.calls[2], "balloon Hinweis Die Datenreorganisation wird gestartet ... 1");
    EXPECT_EQ(t.calls[4], c.first_job);
  }
}

TEST_F(Cycle, DatabaseNotOpeningOnlyRestoresIdle) {
  ports.opens = false;
  settings.CloseRequested = true;
  cycle.Run();
  EXPECT_EQ(t.calls, (std::vector<std::string>{"timer off", "open",
                                               "tip Korbinar V6 Systemüberwachung im Leerlauf",
                                               "timer on", "unload"}));
}

TEST_F(Cycle, CloseRequestDuringACycleIsHonouredAtItsEnd) {
  ports.d1 = true;
  ports.during_jobs = [&] { settings.CloseRequested = true; };
  cycle.Run();
  EXPECT_EQ(t.calls.back(), "unload");
  EXPECT_EQ(t.Count("job"), 5);
}

TEST_F(Cycle, TrappedErrorLeavesTheMonitorAlive) {
  ports.d7 = true;
  window.balloon_fails = true;
  settings.CloseRequested = true;
  cycle.Run();
  EXPECT_EQ(t.Count("log1 fMain/Timer_Timer Automatisierungsfehler"), 1);
  EXPECT_EQ(t.Count("close"), 1);
  EXPECT_TRUE(window.timer);
  EXPECT_TRUE(window.unloaded);
  EXPECT_EQ(t.Count("tip Korbinar V6 Systemüberwachung im Leerlauf"), 1);
  EXPECT_EQ(t.Count("job"), 0);
}

TEST_F(Cycle, AProviderErrorThatEscapesTheDatabaseIsTrappedToo) {
  ports.during_due_check = [] { throw DbError(3704, "Verbindung verloren"); };
  EXPECT_NO_THROW(cycle.Run());
  EXPECT_EQ(t.Count("log1 fMain/Timer_Timer Verbindung verloren"), 1);
  EXPECT_EQ(t.Count("close"), 1);
  EXPECT_TRUE(window.timer);
}

}  // namespace
}  // namespace kb6

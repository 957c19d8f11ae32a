// A whole monitor on a club file in this process: database, run log, live
// ports and the timer cycle, with a window that shows nothing.
#pragma once

#include <stdexcept>
#include <string>

#include "common/clock.h"
#include "common/regional.h"
#include "common/settings.h"
#include "db/database.h"
#include "db/sqlite_provider.h"
#include "runlog/run_log.h"
#include "scheduler/live_ports.h"
#include "scheduler/timer_cycle.h"

namespace kb6::test {

// Shows nothing; keeps the state the cycle left and can fail like a broken tray.
struct SilentWindow final : CycleWindow {
  bool timer = true, unloaded = false, balloon_fails = false;
  void SetTimerEnabled(bool enabled) override { timer = enabled; }
  void SetToolTip(const std::string&) override {}
  void ShowBalloon(const std::string&, const std::string&, int32_t) override {
    if (balloon_fails) throw std::runtime_error("Automatisierungsfehler");
  }
  void Unload() override { unloaded = true; }
  void SetTrayText(const std::string&, const std::string&) override {}
};

struct Monitor {
  Monitor(const std::string& path, const std::string& data, const FixedClock& clock)
      : clock(clock) {
    settings.AccessDatenbank = path;
    settings.SQLServer_Host = "lokal";
    settings.Datenpfad = data;
    RegisterSqliteProvider(providers);
  }
  const CycleReport& Run() {
    cycle.Run();
    return cycle.LastReport();
  }
  const FixedClock& clock;
  Settings settings;
  ProviderRegistry providers;
  const RegionalSettings regional = RegionalSettings::German();
  Database db{settings, regional, clock, providers};
  RunLog log{settings, db, regional, clock, "", "KB6TRAY"};
  LivePorts ports{db, regional, clock, log};
  SilentWindow window;
  TimerCycle cycle{settings, ports, window};
};

}  // namespace kb6::test

// kb6-tray-bench: the time one reorganisation cycle spends in the desktop
// tray's calls (tool tip, balloons, add and remove), with a fake panel that
// reads every tool tip change over a private session bus. The progress pause
// is off, so the panel's reads compete with the cycle's work.
//
//   kb6-tray-bench [--no-panel] [ADDRESSES...]   default: 300 3000
// --no-panel: no watcher, so nobody reads the tool tip (the cost of sending alone).
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "club_generator.h"
#include "common/clock.h"
#include "common/regional.h"
#include "db/database.h"
#include "db/sqlite_provider.h"
#include "fake_desktop.h"
#include "host/application.h"
#include "host/tray_choice.h"
#include "runlog/run_log.h"
#include "scheduler/live_ports.h"
#include "scheduler/timer_cycle.h"
#include "tray/glib_loop.h"
#include "tray/main_window.h"

namespace kb6 {
namespace {

using Steady = std::chrono::steady_clock;

// Forwards to the real tray and times each call.
class TimingTray final : public TrayIcon {
 public:
  explicit TimingTray(TrayIcon& inner) : inner_(inner) {}
  struct Figure {
    int calls = 0;
    double seconds = 0, worst = 0;
    double cpu = 0;  // this thread's processor time: the wall time less preemption
  };
  std::map<std::string, Figure> figures;

  void SetIcon() override {
    Time("SetIcon", [&] { inner_.SetIcon(); });
  }
  void SetIntegerSetting(int32_t v) override { inner_.SetIntegerSetting(v); }
  void SetToolTip(const std::string& t) override {
    Time("SetToolTip", [&] { inner_.SetToolTip(t); });
  }
  void Add() override {
    Time("Add", [&] { inner_.Add(); });
  }
  void SetBooleanSetting(bool v) override { inner_.SetBooleanSetting(v); }
  void ShowBalloon(const std::string& title, const std::string& text, int32_t kind) override {
    Time("ShowBalloon", [&] { inner_.ShowBalloon(title, text, kind); });
  }
  void Remove() override {
    Time("Remove", [&] { inner_.Remove(); });
  }

 private:
  static double ThreadCpu() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
  }
  template <typename F>
  void Time(const char* name, F f) {
    const double cpu_start = ThreadCpu();
    const auto start = Steady::now();
    f();
    const double s = std::chrono::duration<double>(Steady::now() - start).count();
    Figure& fig = figures[name];
    fig.cpu += ThreadCpu() - cpu_start;
    ++fig.calls;
    fig.seconds += s;
    fig.worst = std::max(fig.worst, s);
  }
  TrayIcon& inner_;
};

int RunOne(int addresses, const test::PrivateBus& bus, bool panel) {
  const std::string dir =
      std::filesystem::temp_directory_path() / ("kb6-tray-bench-" + std::to_string(addresses));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string db_file = dir + "/club.db";
  GenerateClubDatabase(db_file, {addresses, 1});

  test::FakeDesktop desktop(bus);
  if (panel) desktop.StartWatcher();  // the tray registers once the name is owned

  SystemClock clock;
  const RegionalSettings regional = RegionalSettings::German();
  Settings settings;
  ProviderRegistry providers;
  RegisterSqliteProvider(providers);
  Database db(settings, regional, clock, providers);
  RunLog log(settings, db, regional, clock, dir, "KB6TRAY");
  LivePorts ports(db, regional, clock, log);
  GlibEventLoop loop;
  GlibTimer timer(60000);
  std::ostringstream err;
  const std::unique_ptr<TrayIcon> real = MakeTray(TrayChoice::kDesktop, err);
  if (!real) {
    std::fprintf(stderr, "no desktop tray: %s\n", err.str().c_str());
    return 1;
  }
  TimingTray tray(*real);
  MainWindow window(tray, timer, loop, clock);
  window.SetProgressPause(0);
  TimerCycle cycle(settings, ports, window);
  double cycle_seconds = 0;
  {
    clsApplication app(settings, window, db, log);
    app.Datenpfad(dir);
    app.AccessDatenbank(db_file);
    app.SQLServer_Host("lokal");
    app.ShowTrayicon();
    // The panel has the item before the cycle starts, as after a minute's wait.
    if (panel) desktop.WaitFor("tooltip");
    const auto start = Steady::now();
    cycle.Run();
    cycle_seconds = std::chrono::duration<double>(Steady::now() - start).count();
    window.Unload();
  }
  desktop.WaitFor(panel ? "unregister" : "notify", panel ? 1 : 2);
  double in_tray = 0;
  for (const auto& [name, f] : tray.figures) in_tray += f.seconds;
  const auto& tips = tray.figures["SetToolTip"];
  std::printf("%d addresses: cycle %.3f s, in tray calls %.3f ms (%.4f%% of the cycle)\n",
              addresses, cycle_seconds, in_tray * 1e3, 100 * in_tray / cycle_seconds);
  for (const auto& [name, f] : tray.figures)
    std::printf(
        "  %-12s %4d calls  %8.3f ms total  %7.1f us mean  %7.1f us worst  %6.1f us CPU mean\n",
        name.c_str(), f.calls, f.seconds * 1e3, f.seconds * 1e6 / f.calls, f.worst * 1e6,
        f.cpu * 1e6 / f.calls);
  std::printf(
      "  per progress text: %.1f us; the fake panel read %zu tool tips, %zu notifications\n",
      tips.calls ? tips.seconds * 1e6 / tips.calls : 0.0, desktop.Lines("tooltip").size(),
      desktop.Lines("notify").size());
  std::filesystem::remove_all(dir);
  return 0;
}

}  // namespace
}  // namespace kb6

int main(int argc, char** argv) {
  kb6::test::PrivateBus bus;
  if (!bus.Running()) {
    std::fprintf(stderr, "kb6-tray-bench: dbus-daemon did not start\n");
    return 1;
  }
  setenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().c_str(), 1);
  setenv("KB6TRAY_PROGRESS_PAUSE", "0", 1);
  std::vector<int> sizes;
  bool panel = true;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--no-panel")
      panel = false;
    else
      sizes.push_back(std::atoi(argv[i]));
  }
  if (sizes.empty()) sizes = {300, 3000};
  for (int n : sizes)
    if (kb6::RunOne(n, bus, panel) != 0) return 1;
  return 0;
}

// KB6TRAY: the command-line host. It plays the host application: creates
// clsApplication, writes its properties from the options and calls
// ShowTrayicon; the monitor then runs its cycles on a GLib main loop.
#include <glib-unix.h>
#include <glib.h>
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "common/clock.h"
#include "common/operator_notice.h"
#include "common/regional.h"
#include "db/database.h"
#include "db/odbc/odbc_provider.h"
#include "db/sqlite_provider.h"
#include "host/application.h"
#include "host/connect_report.h"
#include "host/monitor_options.h"
#include "host/ops_host.h"
#include "host/ops_options.h"
#include "host/test_clock.h"
#include "host/tool_commands.h"
#include "host/tray_choice.h"
#include "runlog/run_log.h"
#include "scheduler/live_ports.h"
#include "scheduler/timer_cycle.h"
#include "tray/glib_loop.h"
#include "tray/main_window.h"

namespace {

// The signals that ask the monitor to end, as the host's close request does.
constexpr int kCloseSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> g_signals{0};
// GLib's own handlers of the close signals, which wake the main context so
// that their signal sources run.
struct sigaction g_glib_handlers[NSIG];

extern "C" void OnSignal(int sig, siginfo_t* info, void* context) {
  // A GLib signal source runs only when the loop is pumped, which a long
  // statement may not do for a while; so the count lives here, and the second
  // signal ends the process at once. The first is passed on to GLib.
  if (g_signals.fetch_add(1) >= 1) _exit(128 + sig);
  const struct sigaction& glib = g_glib_handlers[sig];
  if (glib.sa_flags & SA_SIGINFO) {
    if (glib.sa_sigaction) glib.sa_sigaction(sig, info, context);
  } else if (glib.sa_handler != SIG_DFL && glib.sa_handler != SIG_IGN) {
    glib.sa_handler(sig);
  }
}

// What a close signal reaches on the main thread.
struct CloseTarget {
  kb6::clsApplication* app = nullptr;
  kb6::MainWindow* window = nullptr;
  bool in_cycle = false;
};

gboolean OnCloseSignal(gpointer data) {
  auto* target = static_cast<CloseTarget*>(data);
  // During a cycle (its progress wait pumps the loop) this only asks to close
  // at the end of the cycle; while idle the window goes at once, which ends
  // the main loop.
  // What fails here is told; a second signal still ends the process.
  kb6::TellOperatorIfThrows("Beenden", [&] {
    if (target->app) target->app->CloseTrayIcon();
    if (!target->in_cycle && target->window) target->window->Unload();
  });
  return G_SOURCE_CONTINUE;
}

std::filesystem::path ExecutablePath(const char* argv0) {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) p = std::filesystem::absolute(argv0, ec);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App cli{kb6::kMonitorDescription};
  kb6::MonitorOptions options;
  std::string tray_kind = "auto";
  kb6::AddMonitorOptions(cli, options, "for cron and systemd timers");
  kb6::ToolOptions tools;
  kb6::AddToolOptions(cli, tools);
  kb6::OpsOptions ops;
  kb6::AddOpsOptions(cli, ops, tools);
  cli.add_option("--tray", tray_kind,
                 "Where the icon goes: desktop (the notification area on the session bus, "
                 "balloons as desktop notifications), console (lines on standard error) or auto "
                 "(desktop when the session bus has a notification area, else console)")
      ->check(CLI::IsMember({"auto", "desktop", "console"}));
  cli.set_version_flag("--version", std::string("KB6TRAY ") + KB6TRAY_VERSION);
  cli.footer(
      "Exit codes of --once: 0 the cycle ran without failures or nothing was due, 1 it ran with "
      "failures (changes not written, rows not read, a wrong clock), 2 bad arguments or the "
      "database could not be opened.");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return cli.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return cli.exit(e);
  } catch (const CLI::ParseError& e) {
    return kb6::ExitForParseError(cli, e, argc, argv);
  }
  if (auto code = kb6::RunStatusCommand(ops, options)) return *code;
  if (const auto code = kb6::CheckMonitorDatabase(options)) return *code;
  const std::string& access_db = options.access_db;

  // Tests run the process on a chosen date (KB6TRAY_TEST_NOW, see README).
  const std::unique_ptr<kb6::Clock> clock_owner =
      kb6::MakeProcessClock(std::getenv("KB6TRAY_TEST_NOW"));
  const kb6::Clock& clock = *clock_owner;
  const char* password = std::getenv("KB6TRAY_SQLSERVER_PASSWORD");
  if (auto code = kb6::RunToolCommand(
          tools,
          {access_db, options.UsesSqlServer() ? options.sqlserver_host : "", options.sqlserver_db,
           options.sqlserver_user, password ? password : ""},
          clock))
    return *code;

  const std::filesystem::path exe = ExecutablePath(argv[0]);
  const kb6::RegionalSettings regional = kb6::RegionalSettings::German();
  kb6::Settings settings;
  kb6::ProviderRegistry providers;
  kb6::RegisterSqliteProvider(providers);
  kb6::RegisterOdbcProvider(providers);
  kb6::Database db(settings, regional, clock, providers);
  kb6::RunLog log(settings, db, regional, clock, exe.parent_path().string(), exe.stem().string());
  kb6::LivePorts ports(db, regional, clock, log);
  kb6::GlibEventLoop loop;
  kb6::GlibTimer timer(60000);
  kb6::OpsHost ops_host(ops, options, kb6::SdNotifier::FromEnvironment());
  const std::unique_ptr<kb6::TrayIcon> tray = ops_host.WrapTray(
      kb6::MakeTray(kb6::ParseTrayChoice(tray_kind).value_or(kb6::TrayChoice::kAuto), std::cerr));
  if (!tray) return 2;
  kb6::MainWindow window(*tray, timer, loop, clock);
  // Tests and measurements shorten the one-second wait after each progress
  // text; anything but a small whole number keeps it.
  if (const char* pause = std::getenv("KB6TRAY_PROGRESS_PAUSE")) {
    const std::string p = pause;
    if (!p.empty() && p.size() <= 2 && p.find_first_not_of("0123456789") == std::string::npos)
      window.SetProgressPause(std::stoi(p));
  }
  kb6::TimerCycle cycle(settings, ports, window);
  CloseTarget close_target;
  close_target.window = &window;
  kb6::ConnectReport connect_report;
  auto run_cycle = [&] {
    close_target.in_cycle = true;
    cycle.Run();
    close_target.in_cycle = false;
    connect_report.AfterCycle(db.LastConnectError());
    ops_host.AfterCycle(cycle.LastReport());
  };
  window.SetTickHandler(run_cycle);

  GMainLoop* main_loop = g_main_loop_new(nullptr, FALSE);
  window.SetUnloadedHandler([&] { g_main_loop_quit(main_loop); });

  // A console reader that goes away (`| head`) must not end the monitor in
  // the middle of a cycle; the tray lines are then simply lost.
  signal(SIGPIPE, SIG_IGN);
  // GLib's sources install its handlers; ours is put in front of them. The
  // sources stay for the life of the process, so GLib never resets the
  // signals to their default action behind ours.
  for (int sig : kCloseSignals) {
    g_unix_signal_add(sig, OnCloseSignal, &close_target);
    struct sigaction sa {};
    sa.sa_sigaction = OnSignal;
    sa.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&sa.sa_mask);
    for (int other : kCloseSignals) sigaddset(&sa.sa_mask, other);
    sigaction(sig, &sa, &g_glib_handlers[sig]);
  }
  int exit_code = 0;
  {
    kb6::clsApplication app(settings, window, db, log);
    close_target.app = &app;
    kb6::WriteProperties(options, app);
    app.ShowTrayicon();
    ops_host.Started();
    if (options.once) {
      run_cycle();
      window.Unload();
      const kb6::CycleReport& report = cycle.LastReport();
      exit_code = !report.opened ? 2 : report.HasFailures() ? 1 : 0;
    } else if (window.Loaded()) {
      g_main_loop_run(main_loop);
    }
    close_target.app = nullptr;
  }
  ops_host.Stopping();
  g_main_loop_unref(main_loop);
  return exit_code;
}

// KB6TRAY: the command-line host. It plays the host application: creates
// clsApplication, writes its properties from the options and calls
// ShowTrayicon; the monitor then runs its cycles on a GLib main loop.
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
#include "common/regional.h"
#include "db/database.h"
#include "db/odbc/odbc_provider.h"
#include "db/sqlite_provider.h"
#include "host/application.h"
#include "host/connect_report.h"
#include "runlog/run_log.h"
#include "scheduler/live_ports.h"
#include "scheduler/timer_cycle.h"
#include "tray/console_tray.h"
#include "tray/glib_loop.h"
#include "tray/main_window.h"

namespace {

std::atomic<int> g_signals{0};

extern "C" void OnSignal(int sig) {
  // The first signal asks the monitor to end after its cycle; a second one
  // ends the process at once.
  if (g_signals.fetch_add(1) >= 1) _exit(128 + sig);
}

std::filesystem::path ExecutablePath(const char* argv0) {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) p = std::filesystem::absolute(argv0, ec);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App cli{
      "KB6TRAY - Korbinar V6 Systemüberwachung: runs the one-day, seven-day and fourteen-day "
      "reorganisations of the club database once a minute.\n"
      "The SQL Server password is read from the environment variable "
      "KB6TRAY_SQLSERVER_PASSWORD, never from the command line."};
  std::string datenpfad, access_db, host, sql_db, sql_user;
  int32_t version = 0;
  bool once = false;
  cli.add_option("--datenpfad", datenpfad,
                 "Data directory; the log folder Logfiles lies below it (default: the "
                 "executable's directory)");
  auto* access = cli.add_option("--access-db", access_db,
                                "Club database file of the embedded default (SQLite); selects "
                                "it unless --sqlserver-host is given");
  auto* host_opt =
      cli.add_option("--sqlserver-host", host, "SQL Server data source; selects SQL Server");
  cli.add_option("--sqlserver-db", sql_db, "SQL Server database (initial catalog)");
  cli.add_option("--sqlserver-user", sql_user, "SQL Server login name");
  cli.add_option("--programmversion", version, "Program version of the host (kept, not used)");
  cli.add_flag("--once", once, "Run one cycle at once, then end (for cron and systemd timers)");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return cli.exit(e);
  } catch (const CLI::ParseError& e) {
    cli.exit(e);
    return 2;
  }
  if (access->count() == 0 && host_opt->count() == 0) {
    std::cerr << "KB6TRAY: --access-db FILE oder --sqlserver-host HOST angeben (siehe --help).\n";
    return 2;
  }
  if (access->count() > 0 && host_opt->count() == 0) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(access_db, ec)) {
      std::cerr << "KB6TRAY: Die Datenbankdatei '" << access_db << "' wurde nicht gefunden.\n";
      return 2;
    }
    access_db = std::filesystem::absolute(access_db, ec).string();
  }

  const std::filesystem::path exe = ExecutablePath(argv[0]);
  kb6::SystemClock clock;
  const kb6::RegionalSettings regional = kb6::RegionalSettings::German();
  kb6::Settings settings;
  kb6::ProviderRegistry providers;
  kb6::RegisterSqliteProvider(providers);
  kb6::RegisterOdbcProvider(providers);
  kb6::Database db(settings, regional, clock, providers);
  kb6::RunLog log(settings, db, regional, clock, exe.parent_path().string(), exe.stem().string());
  kb6::LivePorts ports(db, log);
  kb6::GlibEventLoop loop;
  kb6::GlibTimer timer(60000);
  kb6::ConsoleTray tray(std::cerr);
  kb6::MainWindow window(tray, timer, loop, clock);
  // Tests and measurements shorten the one-second wait after each progress
  // text; anything but a small whole number keeps it.
  if (const char* pause = std::getenv("KB6TRAY_PROGRESS_PAUSE")) {
    const std::string p = pause;
    if (!p.empty() && p.size() <= 2 && p.find_first_not_of("0123456789") == std::string::npos)
      window.SetProgressPause(std::stoi(p));
  }
  kb6::TimerCycle cycle(settings, ports, window);
  kb6::ConnectReport connect_report(std::cerr);
  auto run_cycle = [&] {
    cycle.Run();
    connect_report.AfterCycle(db.LastConnectError());
  };
  window.SetTickHandler(run_cycle);

  GMainLoop* main_loop = g_main_loop_new(nullptr, FALSE);
  window.SetUnloadedHandler([&] { g_main_loop_quit(main_loop); });

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  {
    kb6::clsApplication app(settings, window, db, log);
    // The signal handler only counts; the close request is made here, on the
    // one thread, whenever events are dispatched (also during a job's wait).
    g_timeout_add(
        200,
        +[](gpointer data) -> gboolean {
          if (g_signals.load() > 0) static_cast<kb6::clsApplication*>(data)->CloseTrayIcon();
          return G_SOURCE_CONTINUE;
        },
        &app);
    app.Datenpfad(datenpfad);
    app.Programmversion(version);
    app.AccessDatenbank(access_db);
    app.SQLServer_Host(host_opt->count() > 0 ? host : std::string("lokal"));
    app.SQLServer_DB(sql_db);
    app.SQLServer_User(sql_user);
    if (const char* pw = std::getenv("KB6TRAY_SQLSERVER_PASSWORD")) app.SQLServer_Passwort(pw);
    app.ShowTrayicon();
    if (once) {
      run_cycle();
      window.Unload();
    } else if (window.Loaded()) {
      g_main_loop_run(main_loop);
    }
  }
  g_main_loop_unref(main_loop);
  return 0;
}

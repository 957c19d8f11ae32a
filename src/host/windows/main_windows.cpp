// KB6TRAY.exe: the command-line host on Windows, with the Linux host's
// options. It plays the host application: writes clsApplication's properties
// and calls ShowTrayicon; the icon then sits in the notification area and
// the timer runs a cycle every minute until a close request (WM_CLOSE, the
// session's end, Ctrl+C). --once runs one cycle at once and ends.
#include <windows.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <vector>

#include "host/windows/monitor_windows.h"
#include "platform/windows/text_windows.h"

namespace {

HWND g_window = nullptr;
volatile LONG g_interrupts = 0;

// Runs on a thread of its own: the first Ctrl+C asks the monitor to end after
// its cycle, through the window; the second ends the process at once.
BOOL WINAPI OnConsoleEvent(DWORD) {
  if (InterlockedIncrement(&g_interrupts) > 1) return FALSE;
  PostMessageW(g_window, WM_CLOSE, 0, 0);
  return TRUE;
}

std::string ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n < buffer.size()) return kb6::Utf8FromWide(buffer.substr(0, n));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

int wmain(int argc, wchar_t** wargv) {
  // Options arrive in UTF-16; inside, every text is UTF-8.
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(kb6::Utf8FromWide(wargv[i]));
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());

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
  cli.add_flag("--once", once, "Run one cycle at once, then end (for scheduled tasks)");
  try {
    cli.parse(static_cast<int>(argv.size()), argv.data());
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
    const std::filesystem::path file(kb6::WideFromUtf8(access_db));
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
      std::cerr << "KB6TRAY: Die Datenbankdatei '" << access_db << "' wurde nicht gefunden.\n";
      return 2;
    }
    access_db = kb6::Utf8FromWide(std::filesystem::absolute(file, ec).wstring());
  }

  try {
    kb6::WindowsMonitor monitor(ExecutablePath());
    g_window = monitor.native_window().handle();
    SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
    monitor.window().SetUnloadedHandler([] { PostQuitMessage(0); });
    kb6::clsApplication& app = monitor.app();
    app.Datenpfad(datenpfad);
    app.Programmversion(version);
    app.AccessDatenbank(access_db);
    app.SQLServer_Host(host_opt->count() > 0 ? host : std::string("lokal"));
    app.SQLServer_DB(sql_db);
    app.SQLServer_User(sql_user);
    if (const char* pw = std::getenv("KB6TRAY_SQLSERVER_PASSWORD")) app.SQLServer_Passwort(pw);
    app.ShowTrayicon();
    if (once) {
      monitor.cycle().Run();
      monitor.window().Unload();
    } else if (monitor.window().Loaded()) {
      // Started from the desktop, the console window is this process's alone
      // and would stand beside the icon for nothing.
      DWORD processes[2];
      if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
      kb6::Win32EventLoop::Run();
    }
    SetConsoleCtrlHandler(&OnConsoleEvent, FALSE);
  } catch (const std::exception& e) {
    std::cerr << "KB6TRAY: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

// KB6TRAY.exe: the command-line host on Windows, with the Linux host's
// options. It plays the host application: writes clsApplication's properties
// and calls ShowTrayicon; the icon then sits in the notification area and
// the timer runs a cycle every minute until a close request (WM_CLOSE, the
// session's end, Ctrl+C). --once runs one cycle at once and ends. With
// -Embedding, /RegServer or /UnregServer it is the COM server instead.
#include <windows.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <vector>

#include "host/monitor_options.h"
#include "host/windows/com/com_server.h"
#include "host/windows/monitor_windows.h"
#include "platform/windows/module_path.h"
#include "platform/windows/text_windows.h"

namespace {

HWND g_window = nullptr;
HANDLE g_ended = nullptr;  // set when the monitor has ended
volatile LONG g_interrupts = 0;

// Runs on a thread of its own. Ctrl+C and Ctrl+Break ask the monitor to
// end, at once when idle, else after its cycle; a second one ends the
// process at once. The console's close, log-off and shutdown end the
// process when this returns: the monitor ends first (in a cycle at its
// next progress wait), within the few seconds the system grants.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    if (InterlockedIncrement(&g_interrupts) > 1) return FALSE;
    PostMessageW(g_window, WM_CLOSE, 0, 0);
    return TRUE;
  }
  PostMessageW(g_window, kb6::WindowsMonitor::kEndNowMessage, 0, 0);
  WaitForSingleObject(g_ended, 4000);
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** wargv) {
  // Options arrive in UTF-16; inside, every text is UTF-8.
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(kb6::Utf8FromWide(wargv[i]));
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());

  // Started by COM, or asked to (un)register the COM server.
  try {
    if (const auto code = kb6::RunComMode({args.begin() + 1, args.end()},
                                          kb6::Utf8FromWide(kb6::ExecutablePath())))
      return *code;
  } catch (const std::exception& e) {
    std::cerr << "KB6TRAY: " << e.what() << "\n";
    return 1;
  }

  CLI::App cli{kb6::kMonitorDescription};
  kb6::MonitorOptions options;
  kb6::AddMonitorOptions(cli, options, "for scheduled tasks");
  try {
    cli.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::CallForHelp& e) {
    return cli.exit(e);
  } catch (const CLI::ParseError& e) {
    cli.exit(e);
    return 2;
  }
  if (const auto code = kb6::CheckMonitorDatabase(options)) return *code;

  int exit_code = 0;
  try {
    kb6::WindowsMonitor monitor(kb6::Utf8FromWide(kb6::ExecutablePath()));
    g_window = monitor.native_window().handle();
    g_ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
    monitor.window().SetUnloadedHandler([] { PostQuitMessage(0); });
    kb6::clsApplication& app = monitor.app();
    kb6::WriteProperties(options, app);
    app.ShowTrayicon();
    if (options.once) {
      monitor.RunCycle();
      monitor.window().Unload();
      // The same exit codes as on Linux: 2 not opened, 1 ran with failures.
      const kb6::CycleReport& report = monitor.cycle().LastReport();
      exit_code = !report.opened ? 2 : report.HasFailures() ? 1 : 0;
    } else if (monitor.window().Loaded()) {
      // Started from the desktop, the console window is this process's alone
      // and would stand beside the icon for nothing.
      DWORD processes[2];
      if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
      kb6::Win32EventLoop::Run();
    }
    if (g_ended) SetEvent(g_ended);
    SetConsoleCtrlHandler(&OnConsoleEvent, FALSE);
  } catch (const std::exception& e) {
    std::cerr << "KB6TRAY: " << e.what() << "\n";
    return 1;
  }
  return exit_code;
}

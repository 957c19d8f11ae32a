#include "host/tool_commands.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "check/check_command.h"

namespace kb6 {

void AddToolOptions(CLI::App& cli, ToolOptions& o) {
  auto* history = cli.add_flag("--history", o.history,
                               "Print the run history from the log table (one block per cycle, "
                               "newest first) and end");
  cli.add_option("--days", o.request.days, "Days of history, today included (default 14)")
      ->check(CLI::Range(1, 3650))
      ->needs(history);
  cli.add_flag("--json", o.request.json, "History as JSON (one object per cycle)")->needs(history);
  cli.add_option("--html", o.request.html_file,
                 "Also write the history as a self-contained HTML page with a chart")
      ->needs(history);
  auto* check = cli.add_flag("--check", o.check,
                             "Check the club file of --access-db (read-only) and end: exit 0 "
                             "clean, 1 findings, 2 unreadable");
  cli.add_flag("--fix", o.fix,
               "With --check: convert what reads one way only (date and decimal texts, Yes/No 1) "
               "in one transaction and list every change")
      ->needs(check);
  history->excludes(check);
}

std::optional<int> RunToolCommand(const ToolOptions& o, const report::DatabaseChoice& choice,
                                  const Clock& clock) {
  if (o.history) return report::RunHistory(choice, o.request, clock, std::cout, std::cerr);
  if (!o.check) return std::nullopt;
  if (!choice.sqlserver_host.empty()) {
    std::cerr << "KB6TRAY: --check prüft nur die Datenbankdatei der eingebetteten Datenbank "
                 "(--access-db ohne --sqlserver-host).\n";
    return 2;
  }
  return check::RunCheck(choice.access_db, o.fix, std::cout, std::cerr);
}

}  // namespace kb6

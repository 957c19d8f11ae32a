#include "host/ops_options.h"

#include <cstdlib>
#include <iostream>
#include <string_view>

#include "host/status_check.h"
#include "host/test_clock.h"
#include "report/history_command.h"

namespace kb6 {
namespace {

void PrintUnknown(const std::string& why) {
  StatusResult r;
  r.state = StatusState::kUnknown;
  r.summary = why;
  for (char& c : r.summary)
    if (c == '\n' || c == '\r' || c == '|') c = ' ';
  std::cout << StatusLine(r) << std::endl;
}

}  // namespace

void AddOpsOptions(CLI::App& cli, OpsOptions& ops, ToolOptions& tools) {
  auto* status = cli.add_flag("--status", ops.status,
                              "Check the run log as monitoring plugins do and end: one line "
                              "'KB6TRAY <STATE> - summary | perfdata', exit 0 OK, 1 WARNING (the "
                              "last cycle logged errors), 2 CRITICAL (database not opened, an "
                              "interval overdue), 3 UNKNOWN; read-only");
  const char* names[] = {"--max-age-1", "--max-age-7", "--max-age-14"};
  const char* what[] = {"one-day (default 2)", "seven-day (default 9)",
                        "fourteen-day (default 16)"};
  for (size_t i = 0; i < 3; ++i)
    cli.add_option(names[i], ops.max_age_days[i],
                   std::string("With --status: days after which the ") + what[i] +
                       " reorganisation's last completed run counts as overdue")
        ->check(CLI::Range(1, 3650))
        ->needs(status);
  cli.add_option("--metrics", ops.metrics_file,
                 "After every cycle, rewrite FILE atomically with metrics in the Prometheus text "
                 "format (for node_exporter's textfile collector)")
      ->excludes(status);
  ops.json = &tools.request.json;
  // --json also formats --status; alone it still makes no sense.
  if (CLI::Option* history = cli.get_option_no_throw("--history")) {
    CLI::Option* json = cli.get_option("--json");
    json->remove_needs(history);
    cli.callback([history, status, json] {
      if (json->count() > 0 && history->count() == 0 && status->count() == 0)
        throw CLI::RequiresError("--json", "--history or --status");
    });
    status->excludes(history);
  }
  if (CLI::Option* check = cli.get_option_no_throw("--check")) status->excludes(check);
  if (CLI::Option* once = cli.get_option_no_throw("--once")) status->excludes(once);
}

int ExitForParseError(const CLI::App& cli, const CLI::ParseError& e, int argc,
                      const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) != "--status") continue;
    PrintUnknown(std::string("Ungültige Argumente: ") + e.what());
    return static_cast<int>(StatusState::kUnknown);
  }
  cli.exit(e);
  return 2;
}

report::DatabaseChoice DatabaseChoiceOf(const MonitorOptions& monitor) {
  report::DatabaseChoice choice;
  if (monitor.UsesSqlServer()) {
    choice.sqlserver_host = monitor.sqlserver_host;
    choice.sqlserver_db = monitor.sqlserver_db;
    choice.sqlserver_user = monitor.sqlserver_user;
    const char* password = std::getenv("KB6TRAY_SQLSERVER_PASSWORD");
    choice.sqlserver_password = password ? password : "";
  } else {
    choice.access_db = monitor.access_db;
  }
  return choice;
}

std::optional<int> RunStatusCommand(const OpsOptions& ops, const MonitorOptions& monitor) {
  if (!ops.status) return std::nullopt;
  if (const std::string missing = MissingDatabaseMessage(monitor); !missing.empty()) {
    const std::string_view head = "KB6TRAY: ";
    PrintUnknown("Ungültige Argumente: " +
                 (missing.starts_with(head) ? missing.substr(head.size()) : missing));
    return static_cast<int>(StatusState::kUnknown);
  }
  const auto clock = MakeProcessClock(std::getenv("KB6TRAY_TEST_NOW"));
  report::LogRead read = report::ReadRunLog(DatabaseChoiceOf(monitor), *clock);
  StatusInput in;
  in.open_error = std::move(read.open_error);
  in.read_error = std::move(read.read_error);
  in.rows = std::move(read.rows);
  in.now = clock->Now();
  in.max_age_days = ops.max_age_days;
  const StatusResult result = EvaluateStatus(std::move(in));
  std::cout << (ops.json && *ops.json ? StatusJson(result) : StatusLine(result) + "\n")
            << std::flush;
  return static_cast<int>(result.state);
}

}  // namespace kb6
